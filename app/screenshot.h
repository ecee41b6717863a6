// F12's screenshots: the picture in the viewport saved as a PNG in the working folder, under the
// first free name of the form quorvel-NNNN.png, so no earlier screenshot is ever overwritten.
#pragma once

#include <string>

// The first of quorvel-0001.png, quorvel-0002.png, ... (counting on from `start`) that does not
// exist in `folder`; `start` is moved past the name returned.
std::string nextScreenshotName(const std::string& folder, int& start);

// Reads the current viewport's pixels and writes them to `path`. False with a reason.
bool saveViewportPng(const std::string& path, std::string& error);
