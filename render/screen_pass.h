// A flat pass over the finished frame, for the overlay and the full-screen debug views: it saves
// every GL attribute and both matrices, so whatever the pass changes is undone by its end.
#pragma once

// Pushes all attributes and both matrices, then sets up untextured, unlit colour drawing with no
// depth test, no depth writes, no culling and all colour channels written. With pixels true the
// projection maps the viewport's pixels (origin bottom-left); otherwise both matrices are identity
// and coordinates are clip space (-1..1). Stencil and blend state are left to the caller.
void beginScreenPass(bool pixels);
// Restores both matrices (the modelview stack current afterwards) and every attribute.
void endScreenPass();
