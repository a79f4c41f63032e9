#pragma once

#include "core/LoadBudget.h"
#include "level/LevelObject.h"

#include <irrlicht.h>

#include <vector>


// A text in the 3D scene ('text'). A bitmap font (an empty "FontPath" or any path not
// ending in ".ttf") draws one quad per character out of one mesh with a buffer per font
// texture, laid out each frame as a centred strip that faces the camera ("FaceCamera") or
// lies in the node's plane. A TrueType font ("FontPath" ending in ".ttf", any case) makes
// one mesh node per glyph from the font cache under a child scaled by 0.1, which the scene
// draws like any other nodes. The text is set through rebuildMesh; nothing is rebuilt per
// frame. What a text makes is charged to the level's memory (core/LoadBudget.h) as it is
// made: the bitmap text's quads here (a text past the budget shows nothing), the TrueType
// text's glyph pages and nodes by the font (gui/fonts/CGUITTFont.h).
class TextObject : public LevelObject {
public:
    TextObject(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id = -1);
    ~TextObject() override;

    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void render() override;
    const irr::core::aabbox3df& getBoundingBox() const override { return boundingBox; }
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override;
    irr::scene::ESCENE_NODE_TYPE getType() const override { return typeId("text"); }
    irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                  irr::scene::ISceneManager* newManager = nullptr) override;

    void serializeAttributes(irr::io::IAttributes* out,
                             irr::io::SAttributeReadWriteOptions* options = nullptr) const override;
    void deserializeAttributes(irr::io::IAttributes* in,
                               irr::io::SAttributeReadWriteOptions* options = nullptr) override;

    // Sets the text and builds its quads (bitmap) or glyph nodes (TrueType).
    virtual void rebuildMesh(const wchar_t* text);
    virtual void setTextColor(irr::video::SColor colour) { textColor = colour; }
    // World size of the bitmap strip; a component of 0 is stored as 1.
    virtual void setSize(const irr::core::vector2df& size);
    virtual irr::core::vector2df getSize() const { return Size; }
    // Stores both colours and recolours the bitmap quads (upper corners top).
    virtual void setColor(irr::video::SColor top, irr::video::SColor bottom);
    // Recolours the bitmap quads with one colour without storing it: the next rebuild
    // shows the stored colours again.
    virtual void setColor(irr::video::SColor colour);
    virtual void getColor(irr::video::SColor& top, irr::video::SColor& bottom) const;

    // One record per character of a bitmap text.
    struct GlyphRecord {
        irr::u32 bufferIndex = 0; // font texture, and the mesh buffer of the quad
        irr::f32 width = 0.0f;    // pixel width of the source rectangle
        irr::f32 kerning = 0.0f;  // kerning against the character before
        irr::u32 firstIndex = 0;
        irr::u32 firstVertex = 0;
    };
    // What one character of a bitmap text allocates: its quad (four vertices and six
    // indices, in arrays that may hold up to twice what they use) and its record.
    static constexpr irr::u32 bytesPerBitmapGlyph =
        2 * (4 * sizeof(irr::video::S3DVertex) + 6 * sizeof(irr::u16)) + sizeof(GlyphRecord);

    // The glyph nodes of a TrueType text, in text order (the text bubble reveals them).
    const irr::core::array<irr::scene::ISceneNode*>& getGlyphNodes() const { return glyphNodes; }
    const std::vector<GlyphRecord>& getGlyphRecords() const { return glyphRecords; }
    const irr::core::stringw& getText() const { return Text; }
    const irr::core::stringc& getFontPath() const { return FontPath; }
    irr::s32 getFontSize() const { return FontSize; }
    bool getFaceCamera() const { return FaceCamera; }
    irr::gui::IGUIFont* getFont() const { return font; }
    irr::scene::SMesh* getMesh() const { return mesh; }
    irr::scene::ISceneNode* getTextRoot() const { return textRoot; }
    irr::core::dimension2du getTextPixelSize() const { return textPixelSize; }
    bool isFontRefreshPending() const { return fontRefreshPending; }

    // True when the part of the path behind its last '.' is "ttf" in any case.
    static bool isTrueTypePath(const irr::core::stringc& path);

private:
    void createMeshForFont(irr::gui::IGUIFont* bitmapFont);
    void rebuildTrueType();
    void rebuildBitmap();
    void recolour(irr::video::SColor top, irr::video::SColor bottom);
    void layoutStrip();
    void setGlyphDepthWrite(bool on);

    irr::scene::ISceneNode* textRoot = nullptr;
    irr::core::stringw Text;
    irr::core::stringc FontPath;
    irr::video::SColor textColor{0};
    irr::gui::IGUIFont* font = nullptr;
    irr::core::vector2df Size{1.0f, 1.0f};
    irr::core::dimension2du textPixelSize{0, 0};
    irr::scene::SMesh* mesh = nullptr;
    irr::s32 FontSize = 72;
    bool FaceCamera = false;
    bool fontRefreshPending = true;
    bool textCutLogged = false; // a text too long is reported once per object
    MemoryCharge quadMemory;    // the bitmap text's quads, charged to the level's memory
    irr::u32 chargedGlyphNodes = 0; // the TrueType text's glyph nodes charged to the level
    irr::video::SColor ColorTop{0xFF000000};
    irr::video::SColor ColorBottom{0xFF000000};
    irr::video::SMaterial material;
    irr::core::aabbox3df boundingBox{-1, -1, -1, 1, 1, 1};
    std::vector<GlyphRecord> glyphRecords;
    irr::core::array<irr::scene::ISceneNode*> glyphNodes;
};

// A mesh with one empty buffer per texture of the bitmap font's sprite bank, in texture
// order, each with a copy of the material showing that texture (one reference, the caller's).
irr::scene::SMesh* createBitmapFontMesh(irr::gui::IGUIFont* bitmapFont, const irr::video::SMaterial& material);
