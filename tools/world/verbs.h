// The verbs of quorvel-world. Each takes the arguments after the tool's name (argv[0] is the
// verb) and returns the process exit status.
#pragma once

#include <string>

#include "world/world.h"

int infoMain(int argc, char** argv);
int buildMain(int argc, char** argv);
int validateMain(int argc, char** argv);
int sampleMain(int argc, char** argv);
int exampleMeshesMain(int argc, char** argv);

// The summary `info` prints, as text and as JSON text.
std::string describeWorld(const World& world);
std::string describeWorldJson(const World& world);
// The small world `sample` writes: two rooms joined by a door, lights and a few objects.
World* makeSampleWorld();
