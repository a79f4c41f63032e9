#include "render/WorldObjectTypes.h"

#include "render/TextBubbleObject.h"
#include "render/TextObject.h"
#include "render/VolumeLightObject.h"

#include "level/SceneNodeTypes.h"

using namespace irr;

void registerWorldObjectTypes() {
    registerSceneNodeType(levelObjectRow<TextObject>(typeId("text"), "TextObject"));
    registerSceneNodeType(levelObjectRow<TextBubbleObject>(typeId("txtb"), "TextBubbleObject"));
    registerSceneNodeType(levelObjectRow<VolumeLightObject>(typeId("vmlt"), "VolumeLightObject"));
}
