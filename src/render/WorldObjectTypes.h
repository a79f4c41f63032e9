#pragma once

// The level objects that exist to be seen in the world beside lights: text ("text"), text
// bubbles ("txtb") and volume lights ("vmlt"); and the head-mounted-display pass's place in
// the frame (the effect handler's renderHmdEyes slot).
void registerWorldObjectTypes();
