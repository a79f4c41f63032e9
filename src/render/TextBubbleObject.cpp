#include "render/TextBubbleObject.h"

#include "render/TextObject.h"

#include "core/Globals.h"
#include "core/Log.h"
#include "core/ProgramQueries.h"
#include "core/SoundManager.h"
#include "core/Stopwatch.h"
#include "core/TextUtils.h"
#include "level/AttributeExtras.h"
#include "level/NodeHelpers.h"
#include "level/SoundObject.h"

#include <cmath>

using namespace irr;

namespace {
// The card behind the text: one quad in the holder's X-Y plane, facing -Z, textured with
// the whole bubble picture.
scene::SMesh* createBubbleCardMesh(scene::ISceneManager* manager, f32 width, f32 height) {
    auto* buffer = new scene::SMeshBuffer();
    const f32 hw = width * 0.5f;
    const f32 hh = height * 0.5f;
    const video::SColor white(255, 255, 255, 255);
    buffer->Vertices.push_back(video::S3DVertex(-hw, -hh, 0, 0, 0, -1, white, 0, 1));
    buffer->Vertices.push_back(video::S3DVertex(-hw, hh, 0, 0, 0, -1, white, 0, 0));
    buffer->Vertices.push_back(video::S3DVertex(hw, hh, 0, 0, 0, -1, white, 1, 0));
    buffer->Vertices.push_back(video::S3DVertex(hw, -hh, 0, 0, 0, -1, white, 1, 1));
    for (u16 index : {0, 1, 2, 0, 2, 3})
        buffer->Indices.push_back(index);
    // Alpha-tested, so it is drawn with the solid objects, before the letters, and writes
    // depth: a card sorted among the letters by distance would cover some of them.
    buffer->Material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
    buffer->Material.Lighting = false;
    buffer->Material.BackfaceCulling = false;
    video::IVideoDriver* driver = manager->getVideoDriver();
    buffer->Material.setTexture(0, driver ? driver->getTexture(TextBubbleObject::bubbleTexturePath) : nullptr);
    buffer->recalculateBoundingBox();
    auto* mesh = new scene::SMesh();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    mesh->recalculateBoundingBox();
    return mesh;
}
} // namespace

TextBubbleObject::TextBubbleObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    glyphNode = manager->addEmptySceneNode(this, -1);
    glyphNode->setIsDebugObject(true);
    glyphNode->setScale(core::vector3df(0.1f, 0.1f, 0.1f));
    material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    material.MaterialTypeParam = 1.0f / 255.0f;

    gui::IGUIEnvironment* gui = manager->getGUIEnvironment();
    gui::IGUIFont* builtIn = gui ? gui->getBuiltInFont() : nullptr;
    if (builtIn && builtIn->getType() == gui::EGFT_BITMAP) {
        font = builtIn;
        glyphMesh = createBitmapFontMesh(font, material);
        const core::dimension2du size = font->getDimension(L"");
        setGlyphScale(core::vector2df(static_cast<f32>(size.Width) * 0.1f, static_cast<f32>(size.Height) * 0.1f));
    } else {
        logMessage("ERROR: TextObject does not support this font type");
    }
    setAutomaticCulling(scene::EAC_BOX);
}

TextBubbleObject::~TextBubbleObject() {
    if (attributeCopy)
        attributeCopy->drop();
    if (glyphMesh)
        glyphMesh->drop();
}

video::SMaterial& TextBubbleObject::getMaterial(u32 i) {
    if (glyphMesh && i < glyphMesh->getMeshBufferCount())
        return glyphMesh->getMeshBuffer(i)->getMaterial();
    return material;
}

u32 TextBubbleObject::getMaterialCount() const { return glyphMesh ? glyphMesh->getMeshBufferCount() : 0; }

void TextBubbleObject::setGlyphScale(const core::vector2df& scale) {
    glyphScale.X = scale.X == 0.0f ? 1.0f : scale.X;
    glyphScale.Y = scale.Y == 0.0f ? 1.0f : scale.Y;
}

void TextBubbleObject::setColor(video::SColor top, video::SColor bottom) {
    ColorTop = top;
    ColorBottom = bottom;
}

void TextBubbleObject::getColor(video::SColor& top, video::SColor& bottom) const {
    top = ColorTop;
    bottom = ColorBottom;
}

void TextBubbleObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addFilePath(out, "FontPath", FontPath.c_str());
    if (TextObject::isTrueTypePath(FontPath)) {
        out->addInt("FontSize", FontSize);
        out->addFloat("LineSpacing", LineSpacing);
    }
    out->addString("Text", Text.c_str());
    out->addBool("FaceCamera", FaceCamera);
    out->addColor("ColorTop", ColorTop);
    out->addColor("ColorBottom", ColorBottom);
    out->addFloat("TextSpeed", TextSpeed);
}

void TextBubbleObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    readIfPresent(in, "FontPath", FontPath);
    readIfPresent(in, "FontSize", FontSize);
    readIfPresent(in, "LineSpacing", LineSpacing);
    Text = in->getAttributeAsStringW("Text").c_str();
    FaceCamera = in->getAttributeAsBool("FaceCamera");
    ColorTop = in->getAttributeAsColor("ColorTop");
    ColorBottom = in->getAttributeAsColor("ColorBottom");
    readIfPresent(in, "TextSpeed", TextSpeed);
    if (!attributeCopy) {
        io::IFileSystem* fs = SceneManager->getFileSystem();
        if (!fs)
            return;
        attributeCopy = fs->createEmptyAttributes(SceneManager->getVideoDriver());
    }
    attributeCopy->clear();
    serializeAttributes(attributeCopy, options);
    rebuildBubble();
}

void TextBubbleObject::rebuildBubble() {
    splitString(Text, L'\\', lines);
    if (!textHolder) {
        textHolder = new LevelObject(this, SceneManager, -1);
        textHolder->drop();
        textHolder->setIsDebugObject(true);
    }
    if (!clickSound) {
        clickSound = new SoundObject(this, SceneManager, -1);
        clickSound->drop();
        clickSound->setIsDebugObject(true);
        clickSound->EventName = clickEventName;
        if (clickSound->EventName.size() >= 2 && soundManager) {
            clickSound->event = soundManager->getEvent(clickSound->EventName.c_str());
            clickSound->setVolume(clickSound->Volume * 0.01f);
        }
    }

    Box.reset(core::vector3df(-1, -1, -1));
    Box.addInternalPoint(1, 1, 1);
    glyphCount = 0;
    const f32 pitch = static_cast<f32>(FontSize) * 1.15f; // glyph units, whatever LineSpacing says
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lineObjects.size() < i + 1) {
            auto* line = new TextObject(textHolder, SceneManager, 0);
            line->drop();
            lineObjects.push_back(line);
        }
        TextObject* line = lineObjects[i];
        std::wstring text = lines[i];
        if (!text.empty() && text[0] == L' ' && text.size() > 1)
            text.erase(0, 1);
        if (attributeCopy) {
            attributeCopy->setAttribute("Text", text.c_str());
            line->deserializeAttributes(attributeCopy);
        }
        line->setPosition(core::vector3df(0, -static_cast<f32>(FontSize) * static_cast<f32>(i) * 0.1f * 1.15f, 0));
        line->setRotation(core::vector3df(0, 0, 0));
        line->setScale(core::vector3df(1, 1, 1));
        line->setVisible(true);
        line->setID(0);
        line->setIsDebugObject(true);
        const core::aabbox3df lineBox = line->getBoundingBox();
        if (i == 0) {
            Box = lineBox;
        } else {
            const f32 drop = pitch * static_cast<f32>(i);
            Box.addInternalPoint(lineBox.MinEdge - core::vector3df(0, drop, 0));
            Box.addInternalPoint(lineBox.MaxEdge - core::vector3df(0, drop, 0));
        }
        glyphCount += static_cast<s32>(line->getGlyphNodes().size());
    }
    for (std::size_t i = lines.size(); i < lineObjects.size(); ++i)
        lineObjects[i]->setVisible(false);

    Box.MinEdge.Y -= static_cast<f32>(FontSize) * 1.5f * 1.15f;
    Box.MaxEdge.Y -= static_cast<f32>(FontSize) * 1.5f * 1.15f;

    const core::vector3df extent = Box.getExtent();
    const core::vector3df centre = Box.getCenter();
    const core::vector3df scale = getScale();
    makeBubbleCard((static_cast<f32>(FontSize) * 2.0f + extent.X) * 0.1f * scale.X,
                   (static_cast<f32>(FontSize) + extent.Y) * 0.1f * scale.Y,
                   // Just behind the letters as a reader sees them (from -Z, where the
                   // glyphs read left to right).
                   core::vector3df(centre.X * 0.1f, centre.Y * 0.1f, (centre.Z + 0.01f) * 0.1f));
    textHolder->setPosition(core::vector3df(-extent.X * 0.1f * 0.5f, extent.Y * 0.1f, 0));

    revealProgress = 0.0f;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const core::array<scene::ISceneNode*>& glyphs = lineObjects[i]->getGlyphNodes();
        for (u32 g = 0; g < glyphs.size(); ++g)
            glyphs[g]->setVisible(false);
    }
    updateAbsolutePosition();
    updateTransformsRecursive(this);
}

void TextBubbleObject::makeBubbleCard(f32 width, f32 height, const core::vector3df& centre) {
    if (bubble)
        SceneManager->addToDeletionQueue(bubble);
    scene::SMesh* mesh = createBubbleCardMesh(SceneManager, width, height);
    bubble = SceneManager->addMeshSceneNode(mesh, textHolder, -1, centre);
    mesh->drop();
    if (bubble)
        bubble->setIsDebugObject(true);
}

bool TextBubbleObject::glyphIsSpace(std::size_t line, u32 k) const {
    const std::wstring& text = lines[line];
    // The glyph nodes follow the characters one for one unless the font lacked some.
    const std::size_t offset = !text.empty() && text[0] == L' ' && text.size() > 1 ? 1 : 0;
    if (lineObjects[line]->getGlyphNodes().size() + offset != text.size())
        return false;
    return text[k + offset] == L' ';
}

void TextBubbleObject::advanceReveal(f32 seconds) {
    revealProgress += TextSpeed * seconds;
    u32 k = 0;
    const bool clicks = clickSound && isSimulationRunning();
    for (std::size_t i = 0; i < lines.size() && i < lineObjects.size(); ++i) {
        const core::array<scene::ISceneNode*>& glyphs = lineObjects[i]->getGlyphNodes();
        for (u32 g = 0; g < glyphs.size(); ++g, ++k) {
            const bool show = static_cast<f32>(k) < revealProgress;
            if (show && !glyphs[g]->isVisible() && !glyphIsSpace(i, g)) {
                if (clicks) {
                    ++clickCount;
                    if (soundManager)
                        clickSound->play();
                }
            }
            glyphs[g]->setVisible(show);
        }
    }
}

s32 TextBubbleObject::countRevealedGlyphs() const {
    s32 shown = 0;
    for (std::size_t i = 0; i < lines.size() && i < lineObjects.size(); ++i) {
        const core::array<scene::ISceneNode*>& glyphs = lineObjects[i]->getGlyphNodes();
        for (u32 g = 0; g < glyphs.size(); ++g)
            shown += glyphs[g]->isVisible() ? 1 : 0;
    }
    return shown;
}

void TextBubbleObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    if (!IsVisible)
        revealProgress = 0.0f;
    else
        advanceReveal(frameStopwatch ? frameStopwatch->delta() : 0.0f);
    LevelObject::OnAnimate(timeMs);
    if (IsVisible)
        keepInView();
}

void TextBubbleObject::keepInView() {
    if (!textHolder || !bubble)
        return;
    textHolder->setPosition(textHolder->getPosition() - viewShift);
    viewShift = core::vector3df();
    updateAbsolutePosition();
    updateTransformsRecursive(this);
    scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    scene::ISceneCollisionManager* collisions = SceneManager->getSceneCollisionManager();
    if (!camera || !driver || !collisions)
        return;
    const core::aabbox3df card = bubble->getTransformedBoundingBox();
    const core::vector3df top(card.getCenter().X, card.MaxEdge.Y, card.getCenter().Z);
    const core::vector3df eye = camera->getAbsolutePosition();
    core::vector3df forward = camera->getTarget() - eye;
    forward.normalize();
    const f32 depth = (top - eye).dotProduct(forward);
    const f32 viewHeight = static_cast<f32>(driver->getViewPort().getHeight());
    if (depth <= camera->getNearValue() || viewHeight <= 0.0f)
        return;
    const f32 margin = viewHeight * viewTopMargin;
    const core::position2di onScreen = collisions->getScreenCoordinatesFrom3DPosition(top, camera);
    // The engine answers -10000 for a point it cannot place (behind the camera), and far
    // off values before the camera has its matrices; the card stays as placed then.
    const f32 topY = static_cast<f32>(onScreen.Y);
    if (topY >= margin || topY <= -10.0f * viewHeight || onScreen.Y == -10000)
        return;
    // The view's own up direction, and the world length of one pixel at the card's depth.
    core::vector3df up = camera->getUpVector();
    up -= forward * up.dotProduct(forward);
    if (up.getLengthSQ() < 1e-6f)
        return;
    up.normalize();
    const f32 perPixel = 2.0f * depth * std::tan(camera->getFOV() * 0.5f) / viewHeight;
    const core::vector3df worldDrop = up * (-(margin - topY) * perPixel);
    // Into the bubble's own space (its rotation and scale), where the holder sits.
    core::matrix4 toLocal;
    if (!AbsoluteTransformation.getInverse(toLocal))
        return;
    viewShift = worldDrop;
    toLocal.rotateVect(viewShift);
    textHolder->setPosition(textHolder->getPosition() + viewShift);
    updateTransformsRecursive(this);
}

scene::ISceneNode* TextBubbleObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new TextBubbleObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    if (!isSimulationRunning()) {
        if (io::IFileSystem* fs = newManager->getFileSystem()) {
            io::IAttributes* attributes = fs->createEmptyAttributes(newManager->getVideoDriver());
            serializeAttributes(attributes);
            copy->deserializeAttributes(attributes);
            attributes->drop();
        }
    } else {
        LevelObject::cloneMembers(copy, this, newManager);
    }
    copy->FontPath = FontPath;
    copy->Text = Text;
    copy->FontSize = FontSize;
    copy->FaceCamera = FaceCamera;
    copy->TextSpeed = TextSpeed;
    copy->LineSpacing = LineSpacing;
    copy->ColorTop = ColorTop;
    copy->ColorBottom = ColorBottom;
    copy->setID(newID);
    if (newParent)
        copy->drop();
    return copy;
}
