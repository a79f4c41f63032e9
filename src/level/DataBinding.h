#pragma once

namespace irr::scene {
class ISceneNode;
}

// Stand-in for data binding: a bound value reaching the property of a level object. The one
// property that is bound so far is the "Text" of a 3D text object ('text'), which takes the
// value through the rendering subsystem's TextObject::rebuildMesh. True when the value
// reached the object.
bool applyBoundValue(irr::scene::ISceneNode* target, const char* property, const wchar_t* value);
