#include "render/TextObject.h"
#include "core/FontGate.h"

#include "render/RenderServices.h"

#include "core/Log.h"
#include "core/RepeatedLog.h"
#include "level/AttributeExtras.h"
#include "level/LevelLimits.h"
#include "level/NodeHelpers.h"

#include <string>

using namespace irr;

namespace {
// The game's own TrueType font: it stands in for a TrueType file that cannot be read, so a
// level that names a font the game does not ship still shows its text.
const char* const textStandInFont = "Content/Font/NoMove.ttf";

// The text's glyph nodes in the TrueType font of the path, or in the stand-in font when the
// path cannot be read (told once per path and level); false when neither font can be had.
bool addTrueTypeGlyphs(const core::stringc& path, s32 size, const wchar_t* text, scene::ISceneNode* parent,
                       video::SColor colour, core::array<scene::ISceneNode*>& glyphs, core::dimension2du& textSize,
                       u32& chargedGlyphs) {
    const auto& addText = renderServices().fonts.addTrueTypeText;
    if (!addText)
        return false;
    if (addText(path, size, text, parent, colour, glyphs, textSize, chargedGlyphs))
        return true;
    logRepeatable(std::string("Warning: Could not load the text font \"") + path.c_str() + "\"; " + textStandInFont +
                      " stands in.",
                  ELL_WARNING);
    return addText(textStandInFont, size, text, parent, colour, glyphs, textSize, chargedGlyphs);
}

gui::IGUIFont* builtInBitmapFont(scene::ISceneManager* manager) {
    gui::IGUIEnvironment* gui = manager ? manager->getGUIEnvironment() : nullptr;
    gui::IGUIFont* builtIn = gui ? gui->getBuiltInFont() : nullptr;
    return builtIn && builtIn->getType() == gui::EGFT_BITMAP ? builtIn : nullptr;
}

// The bitmap font of a path: the built-in font for an empty path, else the GUI's font of
// that file when it is a bitmap font; null otherwise.
gui::IGUIFont* bitmapFontFor(scene::ISceneManager* manager, const core::stringc& path) {
    if (path.empty())
        return builtInBitmapFont(manager);
    gui::IGUIEnvironment* gui = manager ? manager->getGUIEnvironment() : nullptr;
    gui::IGUIFont* loaded = getCheckedFont(gui, path);
    return loaded && loaded->getType() == gui::EGFT_BITMAP ? loaded : nullptr;
}

f32 inverseOf(u32 value) { return value != 0 ? 1.0f / static_cast<f32>(value) : 0.0f; }
} // namespace

TextObject::TextObject(scene::ISceneNode* parent, scene::ISceneManager* manager, s32 id)
    : LevelObject(parent, manager, id) {
    textRoot = manager->addEmptySceneNode(this, -1);
    textRoot->setIsDebugObject(true);
    textRoot->setScale(core::vector3df(0.1f, 0.1f, 0.1f));

    material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    material.MaterialTypeParam = 1.0f / 255.0f;
    material.ZBuffer = video::ECFN_LESSEQUAL;
    material.Lighting = false;
    material.ZWriteEnable = false;
    material.BackfaceCulling = false;

    gui::IGUIEnvironment* gui = manager->getGUIEnvironment();
    gui::IGUIFont* builtIn = gui ? gui->getBuiltInFont() : nullptr;
    if (builtIn && builtIn->getType() == gui::EGFT_BITMAP) {
        font = builtIn;
        createMeshForFont(font);
    } else {
        logMessage("ERROR: TextObject does not support this font type");
    }
    rebuildMesh(L"");
    setSize(core::vector2df(static_cast<f32>(textPixelSize.Width) * 0.1f,
                            static_cast<f32>(textPixelSize.Height) * 0.1f));
    setAutomaticCulling(scene::EAC_BOX);
}

TextObject::~TextObject() {
    if (mesh)
        mesh->drop();
}

scene::SMesh* createBitmapFontMesh(gui::IGUIFont* bitmapFont, const video::SMaterial& material) {
    auto* mesh = new scene::SMesh();
    gui::IGUISpriteBank* bank = static_cast<gui::IGUIFontBitmap*>(bitmapFont)->getSpriteBank();
    const u32 textures = bank ? bank->getTextureCount() : 0;
    for (u32 i = 0; i < textures; ++i) {
        auto* buffer = new scene::SMeshBuffer();
        buffer->Material = material;
        buffer->Material.setTexture(0, bank->getTexture(i));
        mesh->addMeshBuffer(buffer);
        buffer->drop();
    }
    return mesh;
}

void TextObject::createMeshForFont(gui::IGUIFont* bitmapFont) { mesh = createBitmapFontMesh(bitmapFont, material); }

bool TextObject::isTrueTypePath(const core::stringc& path) {
    const s32 dot = path.findLast('.');
    if (dot < 0)
        return false;
    return path.subString(static_cast<u32>(dot + 1), path.size()).equals_ignore_case("ttf");
}

void TextObject::setSize(const core::vector2df& size) {
    Size.X = size.X == 0.0f ? 1.0f : size.X;
    Size.Y = size.Y == 0.0f ? 1.0f : size.Y;
}

void TextObject::rebuildMesh(const wchar_t* text) {
    Text = text ? text : L"";
    // Each glyph is a node (TrueType) or a quad: a million-character text would take gigabytes.
    if (Text.size() > maxLevelTextLength) {
        if (!textCutLogged)
            logLevelClamp("text", getName(), "Text length", std::to_string(Text.size()),
                          std::to_string(maxLevelTextLength), 0, maxLevelTextLength);
        textCutLogged = true;
        Text = Text.subString(0, maxLevelTextLength);
    }
    glyphRecords.clear();
    if (mesh)
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
            auto* buffer = static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(i));
            buffer->Vertices.set_used(0);
            buffer->Indices.set_used(0);
        }
    if (isTrueTypePath(FontPath))
        rebuildTrueType();
    else if (font)
        rebuildBitmap();
}

void TextObject::rebuildTrueType() {
    textRoot->removeAll();
    glyphNodes.clear();
    boundingBox.reset(core::vector3df(-1, -1, -1));
    boundingBox.addInternalPoint(1, 1, 1);
    boundingBox.addInternalPoint(0, 0, 0);
    core::dimension2du size;
    if (!addTrueTypeGlyphs(FontPath, FontSize, Text.c_str(), textRoot, ColorTop, glyphNodes, size, chargedGlyphNodes))
        return;
    setGlyphDepthWrite(true);
    boundingBox.addInternalPoint(static_cast<f32>(size.Width), static_cast<f32>(size.Height), 0.0f);
}

void TextObject::setGlyphDepthWrite(bool on) {
    for (u32 n = 0; n < glyphNodes.size(); ++n)
        for (u32 m = 0; m < glyphNodes[n]->getMaterialCount(); ++m)
            glyphNodes[n]->getMaterial(m).ZWriteEnable = on;
}

void TextObject::rebuildBitmap() {
    auto* bitmap = static_cast<gui::IGUIFontBitmap*>(font);
    gui::IGUISpriteBank* bank = bitmap->getSpriteBank();
    if (!bank || !mesh)
        return;
    const core::array<core::recti>& rects = bank->getPositions();
    const core::array<gui::SGUISprite>& sprites = bank->getSprites();
    if (!quadMemory.growTo(static_cast<std::uint64_t>(Text.size()) * bytesPerBitmapGlyph)) {
        textPixelSize = core::dimension2du(0, 0);
        return;
    }
    glyphRecords.reserve(Text.size());
    for (u32 i = 0; i < Text.size(); ++i) {
        const u32 spriteNo = bitmap->getSpriteNoFromChar(&Text[i]);
        if (spriteNo >= sprites.size() || sprites[spriteNo].Frames.empty())
            continue;
        const gui::SGUISpriteFrame& frame = sprites[spriteNo].Frames[0];
        const u32 t = frame.textureNumber;
        if (t >= mesh->getMeshBufferCount() || frame.rectNumber >= rects.size())
            continue;
        video::ITexture* texture = bank->getTexture(t);
        const core::dimension2du textureSize = texture ? texture->getSize() : core::dimension2du(0, 0);
        const f32 iw = inverseOf(textureSize.Width);
        const f32 ih = inverseOf(textureSize.Height);
        const core::recti& rect = rects[frame.rectNumber];
        auto* buffer = static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(t));

        GlyphRecord record;
        record.bufferIndex = t;
        record.firstIndex = buffer->Indices.size();
        record.firstVertex = buffer->Vertices.size();
        const f32 right = rect.LowerRightCorner.X * iw + 0.5f * iw;
        const f32 left = rect.UpperLeftCorner.X * iw - 0.5f * iw;
        const f32 bottom = rect.LowerRightCorner.Y * ih + 0.5f * ih;
        const f32 top = rect.UpperLeftCorner.Y * ih - 0.5f * ih;
        const core::vector2df coords[4] = {{right, bottom}, {right, top}, {left, top}, {left, bottom}};
        const video::SColor colours[4] = {ColorBottom, ColorTop, ColorTop, ColorBottom};
        for (u32 v = 0; v < 4; ++v) {
            video::S3DVertex vertex;
            vertex.TCoords = coords[v];
            vertex.Color = colours[v];
            buffer->Vertices.push_back(vertex);
        }
        const u16 base = static_cast<u16>(record.firstVertex);
        for (u16 index : {0, 2, 1, 0, 3, 2})
            buffer->Indices.push_back(static_cast<u16>(base + index));
        record.width = static_cast<f32>(rect.LowerRightCorner.X - rect.UpperLeftCorner.X);
        record.kerning =
            static_cast<f32>(font->getKerningWidth(&Text[i], i > 0 ? &Text[i - 1] : nullptr));
        glyphRecords.push_back(record);
    }
    textPixelSize = font->getDimension(Text.c_str());
}

void TextObject::recolour(video::SColor top, video::SColor bottom) {
    if (!mesh)
        return;
    for (const GlyphRecord& record : glyphRecords) {
        auto* buffer = static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(record.bufferIndex));
        video::S3DVertex* v = &buffer->Vertices[record.firstVertex];
        v[0].Color = bottom;
        v[1].Color = top;
        v[2].Color = top;
        v[3].Color = bottom;
    }
}

void TextObject::setColor(video::SColor top, video::SColor bottom) {
    ColorTop = top;
    ColorBottom = bottom;
    recolour(top, bottom);
}

void TextObject::setColor(video::SColor colour) { recolour(colour, colour); }

void TextObject::getColor(video::SColor& top, video::SColor& bottom) const {
    top = ColorTop;
    bottom = ColorBottom;
}

video::SMaterial& TextObject::getMaterial(u32 i) {
    if (mesh && i < mesh->getMeshBufferCount())
        return mesh->getMeshBuffer(i)->getMaterial();
    return material;
}

u32 TextObject::getMaterialCount() const { return mesh ? mesh->getMeshBufferCount() : 0; }

void TextObject::OnRegisterSceneNode() {
    if (!IsVisible)
        return;
    if (!font || !mesh) {
        ISceneNode::OnRegisterSceneNode();
        return;
    }
    if (!SceneManager->getActiveCamera())
        return;
    layoutStrip();
    SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
    if (IsVisible)
        ISceneNode::OnRegisterSceneNode();
}

void TextObject::layoutStrip() {
    const core::vector3df scale = getScale();
    setSize(core::vector2df(static_cast<f32>(textPixelSize.Width) * 0.1f * scale.X,
                            static_cast<f32>(textPixelSize.Height) * 0.1f * scale.Y));
    f32 textLength = 0.0f;
    for (const GlyphRecord& record : glyphRecords)
        textLength += record.width + record.kerning;
    if (!glyphRecords.empty() && textLength < 0.0f)
        textLength = 1.0f;

    core::vector3df pos = getAbsolutePosition();
    core::vector3df view;
    core::vector3df up;
    if (FaceCamera) {
        scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
        view = camera->getTarget() - camera->getAbsolutePosition();
        if (view.getLength() != 0.0f)
            view.normalize();
        up = camera->getUpVector();
    } else {
        const core::matrix4& m = AbsoluteTransformation;
        up = core::vector3df(0, 1, 0);
        view = core::vector3df(0, 0, 1);
        m.rotateVect(up);
        m.rotateVect(view);
    }
    core::vector3df horizontal = up.crossProduct(view);
    if (horizontal.getLength() == 0.0f)
        horizontal = core::vector3df(up.Y, up.X, up.Z);
    horizontal.normalize();
    const core::vector3df space = horizontal;
    horizontal *= 0.5f * Size.X;
    core::vector3df vertical = horizontal.crossProduct(view);
    vertical.normalize();
    vertical *= 0.5f * Size.Y;
    view *= -1.0f;

    pos += space * (Size.X * -0.5f);
    for (const GlyphRecord& record : glyphRecords) {
        const f32 infw = textLength != 0.0f ? record.width / textLength : 0.0f;
        const f32 infk = textLength != 0.0f ? record.kerning / textLength : 0.0f;
        const f32 w = Size.X * infw * 0.5f;
        pos += space * w;
        auto* buffer = static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(record.bufferIndex));
        video::S3DVertex* v = &buffer->Vertices[record.firstVertex];
        for (u32 k = 0; k < 4; ++k)
            v[k].Normal = view;
        v[0].Pos = pos + space * w + vertical;
        v[1].Pos = pos + space * w - vertical;
        v[2].Pos = pos - space * w - vertical;
        v[3].Pos = pos - space * w + vertical;
        pos += space * (Size.X * infk + w);
    }

    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i)
        mesh->getMeshBuffer(i)->recalculateBoundingBox();
    mesh->recalculateBoundingBox();
    core::aabbox3df box = mesh->getBoundingBox();
    // A transformation that cannot be inverted gives the all-zero matrix.
    core::matrix4 inverse;
    if (!AbsoluteTransformation.getInverse(inverse))
        inverse *= 0.0f;
    inverse.transformBoxEx(box);
    boundingBox = box;
}

void TextObject::render() {
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    if (!mesh)
        return;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        driver->setMaterial(buffer->getMaterial());
        driver->drawMeshBuffer(buffer);
    }
    if (DebugDataVisible & scene::EDS_BBOX) {
        driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
        video::SMaterial plain;
        plain.Lighting = false;
        driver->setMaterial(plain);
        driver->draw3DBox(boundingBox, video::SColor(0, 208, 195, 152));
    }
}

void TextObject::OnAnimate(u32 timeMs) {
    if (animatedThisFrame())
        return;
    if (fontRefreshPending) {
        // A TrueType path is never handed to the engine's font loader, which would try to
        // read the font file as a picture.
        gui::IGUIFont* refreshed = isTrueTypePath(FontPath) ? nullptr : bitmapFontFor(SceneManager, FontPath);
        bool stillPending = false;
        if (refreshed) {
            font = refreshed;
            if (!mesh) {
                stillPending = true;
            } else {
                gui::IGUISpriteBank* bank = static_cast<gui::IGUIFontBitmap*>(font)->getSpriteBank();
                for (u32 i = 0; bank && i < mesh->getMeshBufferCount() && i < bank->getTextureCount(); ++i)
                    mesh->getMeshBuffer(i)->getMaterial().setTexture(0, bank->getTexture(i));
            }
        }
        fontRefreshPending = stillPending;
    }
    setGlyphDepthWrite(false);
    LevelObject::OnAnimate(timeMs);
}

void TextObject::serializeAttributes(io::IAttributes* out, io::SAttributeReadWriteOptions* options) const {
    LevelObject::serializeAttributes(out, options);
    addFilePath(out, "FontPath", FontPath.c_str());
    if (isTrueTypePath(FontPath))
        out->addInt("FontSize", FontSize);
    out->addString("Text", Text.c_str());
    out->addBool("FaceCamera", FaceCamera);
    out->addColor("ColorTop", ColorTop);
    out->addColor("ColorBottom", ColorBottom);
}

void TextObject::deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) {
    if (!in)
        return;
    LevelObject::deserializeAttributes(in, options);
    const core::stringc previousPath = FontPath;
    if (!readIfPresent(in, "FontPath", FontPath))
        FontPath = "";
    if (in->existsAttribute("FontSize"))
        FontSize = in->getAttributeAsInt("FontSize");
    // Read as wide text: every character of the file's text survives, where narrowing it
    // to bytes would turn letters beyond ASCII into other characters.
    core::stringw text = in->getAttributeAsStringW("Text");
    FaceCamera = in->getAttributeAsBool("FaceCamera");
    ColorTop = video::SColor(in->getAttributeAsColor("ColorTop").color | 0xFF000000);
    ColorBottom = video::SColor(in->getAttributeAsColor("ColorBottom").color | 0xFF000000);

    if (FontPath != previousPath) {
        font = nullptr;
        if (!isTrueTypePath(FontPath)) {
            if (gui::IGUIFont* bitmap = bitmapFontFor(SceneManager, FontPath)) {
                font = bitmap;
                if (mesh)
                    mesh->drop();
                mesh = nullptr;
                createMeshForFont(font);
            }
        }
    }
    rebuildMesh(text.c_str());
    fontRefreshPending = true;
}

scene::ISceneNode* TextObject::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
    if (!newParent)
        newParent = Parent;
    if (!newManager)
        newManager = SceneManager;
    auto* copy = new TextObject(newParent, newManager, ID);
    const s32 newID = assignUniqueObjectID(copy);
    LevelObject::cloneMembers(copy, this, newManager);
    copy->FontPath = FontPath;
    copy->FontSize = FontSize;
    copy->Text = Text;
    copy->FaceCamera = FaceCamera;
    copy->ColorTop = ColorTop;
    copy->ColorBottom = ColorBottom;
    copy->setID(newID);
    if (newParent)
        copy->drop();
    return copy;
}
