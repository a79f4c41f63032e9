// The element factory, sub-elements and GUI layout files, broken ones included.
#include "GuiFixture.h"

#include "gui/GUIButton.h"
#include "gui/GUIElementFactory.h"
#include "gui/GUIFreeTypeText.h"
#include "gui/GUIImage.h"
#include "gui/GUIScreen.h"
#include "gui/GUIStaticText.h"
#include "gui/GUISubElement.h"
#include "gui/GUITextButton.h"
#include "gui/GuiCommon.h"
#include "gui/GuiLayout.h"

#include <algorithm>
#include <fstream>
#include <vector>

using namespace irr;

namespace {

class LayoutTest : public guitest::GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        factory = new GUIElementFactory(environment);
        factory->drop();
    }
    std::string saveLayout(gui::IGUIElement* start, const std::string& name) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(saveGuiLayout(environment, path.c_str(), start));
        return path;
    }
    static std::string readText(const std::string& path) { return test::readFileBytes(path); }
    static std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    }
    static void writeText(const std::string& path, const std::string& text) { test::writeFileBytes(path, text); }
    // The layout files the engine writes are UTF-32 on this platform; tests edit them as ASCII.
    std::string asciiLayout(gui::IGUIElement* start, const std::string& name) {
        const std::string wide = readText(saveLayout(start, name));
        std::string ascii;
        for (std::size_t i = 4; i + 3 < wide.size(); i += 4)
            ascii += wide[i];
        return ascii;
    }

    // Every attribute of the element as text, by name.
    std::map<std::string, std::string> attributesOf(gui::IGUIElement* element) {
        io::IAttributes* attr = device->getFileSystem()->createEmptyAttributes(driver);
        element->serializeAttributes(attr);
        std::map<std::string, std::string> values;
        for (u32 i = 0; i < attr->getAttributeCount(); ++i)
            values[attr->getAttributeName(i)] = attr->getAttributeAsString(i).c_str();
        attr->drop();
        return values;
    }
    void collect(gui::IGUIElement* element, std::vector<gui::IGUIElement*>& out) {
        out.push_back(element);
        for (gui::IGUIElement* child : element->getChildren())
            if (!child->isSubElement())
                collect(child, out);
    }
    gui::IGUIElement* lastRootChild() { return *root()->getChildren().getLast(); }

    test::TempDir dir;
    GUIElementFactory* factory = nullptr;
};

TEST_F(LayoutTest, FactoryTable) {
    EXPECT_EQ(factory->getCreatableGUIElementTypeCount(), 25);
    EXPECT_EQ(static_cast<s32>(factory->getCreateableGUIElementType(0)), 1000);
    EXPECT_EQ(static_cast<s32>(factory->getCreateableGUIElementType(24)), 1024);
    EXPECT_STREQ(factory->getCreateableGUIElementTypeName(0), "GUIEditor");
    EXPECT_STREQ(factory->getCreateableGUIElementTypeName(10), "GUIButton");
    EXPECT_STREQ(factory->getCreateableGUIElementTypeName(23), "GUILevelCycle");
    EXPECT_EQ(factory->getCreateableGUIElementTypeName(24), nullptr);
    EXPECT_EQ(factory->getCreateableGUIElementTypeName(-1), nullptr);
    EXPECT_STREQ(factory->getCreateableGUIElementTypeName(toElementType(GuiType::OptionsList)), "GUIOptionsList");
    // Engine types keep their names.
    const auto engineType = static_cast<gui::EGUI_ELEMENT_TYPE>(9);
    EXPECT_STREQ(factory->getCreateableGUIElementTypeName(engineType),
                 environment->getDefaultGUIElementFactory()->getCreateableGUIElementTypeName(engineType));
}

// Each class's type id is 1000 plus its place in the factory's table.
TEST_F(LayoutTest, EachTypeIdNamesItsClass) {
    const struct {
        s32 type;
        const c8* name;
    } rows[] = {
        {GuiType::Editor, "GUIEditor"},
        {GuiType::EditWindow, "GUIEditWindow"},
        {GuiType::Image, "GUIImage"},
        {GuiType::SubElement, "GUISubElement"},
        {GuiType::StaticText, "GUIStaticText"},
        {GuiType::FreeTypeText, "GUIFreeTypeText"},
        {GuiType::Notification, "GUINotification"},
        {GuiType::Screen, "GUIScreen"},
        {GuiType::ObjectiveCenter, "GUIObjectiveCenter"},
        {GuiType::Hud, "GUIHud"},
        {GuiType::Button, "GUIButton"},
        {GuiType::PauseScreen, "GUIPauseScreen"},
        {GuiType::MainScreen, "GUIMainScreen"},
        {GuiType::SubtitleManager, "GUISubtitleManager"},
        {GuiType::Cutscene, "GUICutscene"},
        {GuiType::OptionCycle, "GUIOptionCycle"},
        {GuiType::MenuItem, "GUIOptionCycle"},
        {GuiType::OptionMeter, "GUIOptionMeter"},
        {GuiType::OptionRemap, "GUIOptionRemap"},
        {GuiType::DebugStats, "GUIDebugStats"},
        {GuiType::TextButton, "GUITextButton"},
        {GuiType::ChargeMeter, "GUIChargeMeter"},
        {GuiType::Objective, "GUIObjective"},
        {GuiType::OptionsList, "GUIOptionsList"},
        {GuiType::LevelCycle, "GUILevelCycle"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const c8* name = factory->getCreateableGUIElementTypeName(toElementType(row.type));
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, row.name);
    }
    EXPECT_EQ(GuiType::ScrollList, 1024);
}

TEST_F(LayoutTest, FactoryCreatesTheGameClasses) {
    gui::IGUIElement* image = factory->addGUIElement("GUIImage");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getParent(), root());
    EXPECT_EQ(image->getID(), -1);
    EXPECT_EQ(image->getRelativePosition(), core::recti(0, 0, 100, 100));
    EXPECT_EQ(image->getReferenceCount(), 1);
    EXPECT_EQ(static_cast<s32>(image->getType()), GuiType::Image);

    gui::IGUIElement* text = factory->addGUIElement("GUIStaticText", image);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getParent(), image);
    EXPECT_EQ(text->getRelativePosition(), core::recti(0, 0, 400, 100));
    auto* freeType = static_cast<GUIFreeTypeText*>(factory->addGUIElement("GUIFreeTypeText"));
    EXPECT_STREQ(freeType->getOwnText().c_str(), L"Text");
    EXPECT_EQ(static_cast<s32>(factory->addGUIElement(toElementType(GuiType::Button))->getType()), GuiType::Button);
    EXPECT_EQ(static_cast<s32>(factory->addGUIElement("GUISubElement")->getType()), GuiType::SubElement);
    EXPECT_EQ(static_cast<s32>(factory->addGUIElement("GUIScreen")->getType()), GuiType::Screen);

    for (const char* name : {"GUIHud", "GUITextButton", "GUIOptionsList", "Nothing", ""})
        EXPECT_EQ(factory->addGUIElement(name), nullptr) << name;
    EXPECT_EQ(factory->addGUIElement(static_cast<const c8*>(nullptr)), nullptr);
    // Through the environment, as a layout file does.
    EXPECT_NE(environment->addGUIElement("GUIButton"), nullptr);
    EXPECT_NE(environment->addGUIElement("button"), nullptr);
}

// A layout may name each class the table makes, and gets it with its type; the classes only
// code makes are refused. The edit window is an engine window and the subtitle layer passes as
// the HUD, so that it never holds the input.
TEST_F(LayoutTest, EachClassALayoutMayNameIsMadeWithItsType) {
    const struct {
        const c8* name;
        s32 type;
    } made[] = {
        {"GUIEditWindow", gui::EGUIET_WINDOW},
        {"GUIImage", GuiType::Image},
        {"GUISubElement", GuiType::SubElement},
        {"GUIStaticText", GuiType::StaticText},
        {"GUIFreeTypeText", GuiType::FreeTypeText},
        {"GUINotification", GuiType::Notification},
        {"GUIScreen", GuiType::Screen},
        {"GUIObjectiveCenter", GuiType::ObjectiveCenter},
        {"GUIButton", GuiType::Button},
        {"GUISubtitleManager", GuiType::Hud},
    };
    for (const auto& row : made) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(GUIElementFactory::canCreate(row.name));
        gui::IGUIElement* element = factory->addGUIElement(row.name);
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(static_cast<s32>(element->getType()), row.type);
        EXPECT_EQ(element->getParent(), root());
    }
    for (const c8* name : {"GUIHud", "GUIPauseScreen", "GUICutscene", "GUIOptionCycle",
                           "GUIOptionMeter", "GUIOptionRemap", "GUIDebugStats", "GUITextButton",
                           "GUIChargeMeter", "GUIObjective", "GUIOptionsList", "GUILevelCycle"}) {
        EXPECT_FALSE(GUIElementFactory::canCreate(name)) << name;
        EXPECT_EQ(factory->addGUIElement(name), nullptr) << name;
    }
}

TEST_F(LayoutTest, WrittenLayoutReadsBackAsTheSameElements) {
    auto* screen = new GUIScreen(environment, root(), 11, core::recti());
    screen->drop();
    screen->setBackgroundTexture("Content/Screens/Backgrounds/Missing.png");
    auto* image = new GUIImage(environment, screen, 4, core::recti(10, 20, 110, 70));
    image->drop();
    image->setColor(video::SColor(0x80FF2010));
    image->setScaleImage(true);
    image->setUseAlphaChannel(true);
    image->setName("Logo");
    auto* text = new GUIFreeTypeText(L"Caption text", environment, image, 5, core::recti(0, 0, 90, 30));
    text->drop();
    text->setFont(fontPath, 24);
    text->setWordWrap(true);
    text->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER);
    auto* label = new GUIStaticText(L"Label", environment, screen, 6, core::recti(0, 100, 100, 120));
    label->drop();
    label->setDrawBorder(true);
    auto* button = new GUIButton(environment, screen, 7, core::recti(5, 200, 305, 240));
    button->drop();

    std::vector<gui::IGUIElement*> written;
    collect(screen, written);
    std::vector<std::map<std::string, std::string>> writtenAttributes;
    for (gui::IGUIElement* element : written)
        writtenAttributes.push_back(attributesOf(element));
    CGUITTFont* font = text->getTTFont();
    const std::string path = saveLayout(screen, "layout.xml");
    screen->remove();

    ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    std::vector<gui::IGUIElement*> read;
    collect(lastRootChild(), read);
    ASSERT_EQ(read.size(), written.size());
    const char* names[] = {"GUIScreen", "GUIImage", "GUIFreeTypeText", "GUIStaticText", "GUIButton"};
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_STREQ(read[i]->getTypeName(), names[i]);
        const auto values = attributesOf(read[i]);
        EXPECT_EQ(values.size(), writtenAttributes[i].size()) << names[i];
        for (const auto& [key, value] : writtenAttributes[i])
            EXPECT_EQ(values.count(key) ? values.at(key) : "(missing)", value) << names[i] << " " << key;
    }
    EXPECT_EQ(static_cast<GUIFreeTypeText*>(read[2])->getTTFont(), font);
    EXPECT_EQ(static_cast<GUIImage*>(read[1])->getColor(), video::SColor(0x80FF2010));
    EXPECT_EQ(read[1]->getRelativePosition(), core::recti(10, 20, 110, 70));
}

TEST_F(LayoutTest, TextButtonReadsBackAsAPlainButton) {
    auto* screen = new GUIScreen(environment, root(), 11, core::recti());
    screen->drop();
    auto* button = new GUITextButton(environment, screen, 3, core::recti(0, 0, 200, 30));
    button->drop();
    button->setText(L"Caption");
    const std::string path = saveLayout(screen, "button.xml");
    screen->remove();
    ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    gui::IGUIElement* loaded = lastRootChild();
    ASSERT_EQ(loaded->getChildren().size(), 1u);
    gui::IGUIElement* plain = *loaded->getChildren().begin();
    EXPECT_EQ(static_cast<s32>(plain->getType()), GuiType::Button);
    EXPECT_TRUE(plain->getChildren().empty());
}

TEST_F(LayoutTest, SubElementShowsItsOwnLayout) {
    auto* part = new GUIImage(environment, root(), -1, core::recti(0, 0, 120, 40));
    part->drop();
    auto* inner = new GUIButton(environment, part, -1, core::recti(0, 0, 300, 20));
    inner->drop();
    const std::string partPath = saveLayout(part, "part.xml");
    part->remove();

    auto* holder = new GUISubElement(environment, root(), core::recti(30, 40, 50, 50));
    holder->drop();
    holder->loadGUIFile(partPath.c_str());
    ASSERT_EQ(holder->getChildren().size(), 1u);
    gui::IGUIElement* loadedPart = *holder->getChildren().begin();
    EXPECT_TRUE(loadedPart->isSubElement());
    EXPECT_TRUE((*loadedPart->getChildren().begin())->isSubElement());
    // The largest width and height among them; the corner stays.
    EXPECT_EQ(holder->getRelativePosition(), core::recti(30, 40, 330, 80));
    EXPECT_TRUE(holder->isVisible());

    // The layout holding the sub-element writes its path, not the embedded elements.
    const std::string outerPath = saveLayout(holder, "outer.xml");
    const std::string outer = asciiLayout(holder, "outer-ascii.xml");
    EXPECT_NE(outer.find("GUIPath"), std::string::npos);
    EXPECT_EQ(outer.find("GUIImage"), std::string::npos);
    holder->remove();
    ASSERT_TRUE(loadGuiLayout(environment, outerPath.c_str(), nullptr));
    gui::IGUIElement* loaded = lastRootChild();
    EXPECT_STREQ(loaded->getTypeName(), "GUISubElement");
    EXPECT_EQ(loaded->getChildren().size(), 1u);
}

TEST_F(LayoutTest, SamePathReloadsOnlyWhenAskedDirectly) {
    auto* part = new GUIImage(environment, root(), -1, core::recti(0, 0, 20, 20));
    part->drop();
    const std::string partPath = saveLayout(part, "part.xml");
    part->remove();
    auto* holder = new GUISubElement(environment, root(), core::recti(0, 0, 10, 10));
    holder->drop();
    holder->loadGUIFile(partPath.c_str());
    gui::IGUIElement* first = *holder->getChildren().begin();

    io::IAttributes* attr = device->getFileSystem()->createEmptyAttributes(driver);
    holder->serializeAttributes(attr);
    holder->deserializeAttributes(attr);
    EXPECT_EQ(*holder->getChildren().begin(), first);
    attr->drop();

    first->grab();
    holder->loadGUIFile(partPath.c_str());
    EXPECT_EQ(holder->getChildren().size(), 1u);
    EXPECT_NE(*holder->getChildren().begin(), first);
    EXPECT_EQ(first->getParent(), nullptr);
    first->drop();
    // A path shorter than two characters loads nothing.
    holder->loadGUIFile("a");
    EXPECT_STREQ(holder->getGUIPath().c_str(), partPath.c_str());
}

TEST_F(LayoutTest, LayoutWithAScreenMakesTheSubElementScreenSized) {
    auto* page = new GUIScreen(environment, root(), -1, core::recti());
    page->drop();
    auto* small = new GUIImage(environment, page, -1, core::recti(0, 0, 5000, 10));
    small->drop();
    const std::string path = saveLayout(page, "page.xml");
    page->remove();
    auto* holder = new GUISubElement(environment, root(), core::recti(7, 8, 10, 10));
    holder->drop();
    holder->loadGUIFile(path.c_str());
    EXPECT_EQ(holder->getRelativePosition(), core::recti(7, 8, 7 + screenWidth, 8 + screenHeight));
}

TEST_F(LayoutTest, MissingAndForeignFilesAreReported) {
    const u32 before = root()->getChildren().size();
    EXPECT_FALSE(loadGuiLayout(environment, dir.file("none.xml").c_str(), nullptr));
    EXPECT_TRUE(log.contains("Could not open GUI layout"));
    const std::string notXml = dir.file("notes.xml");
    writeText(notXml, "just some words, no markup at all");
    EXPECT_FALSE(loadGuiLayout(environment, notXml.c_str(), nullptr));
    EXPECT_TRUE(log.contains("is not a GUI layout"));
    EXPECT_EQ(root()->getChildren().size(), before);
}

TEST_F(LayoutTest, LayoutCutShortKeepsWhatWasRead) {
    auto* screen = new GUIScreen(environment, root(), 11, core::recti());
    screen->drop();
    for (int i = 0; i < 4; ++i) {
        auto* button = new GUIButton(environment, screen, 20 + i, core::recti(0, i * 40, 100, i * 40 + 30));
        button->drop();
    }
    const std::string full = readText(saveLayout(screen, "full.xml"));
    screen->remove();
    const std::string cut = dir.file("cut.xml");
    // Cut inside the third button's attributes (on a character boundary of the UTF-32 file).
    writeText(cut, full.substr(0, (full.size() * 2 / 3) & ~std::size_t(3)));
    const u32 before = root()->getChildren().size();
    loadGuiLayout(environment, cut.c_str(), nullptr);
    EXPECT_TRUE(log.contains("ends early"));
    ASSERT_EQ(root()->getChildren().size(), before + 1);
    const u32 buttons = lastRootChild()->getChildren().size();
    EXPECT_GE(buttons, 1u);
    EXPECT_LT(buttons, 4u);
}

TEST_F(LayoutTest, UnknownElementTypesAreLeftOutWithTheirChildren) {
    auto* screen = new GUIScreen(environment, root(), 11, core::recti());
    screen->drop();
    auto* known = new GUIButton(environment, screen, 31, core::recti(0, 0, 10, 10));
    known->drop();
    auto* stranger = new GUIImage(environment, screen, 32, core::recti(0, 0, 10, 10));
    stranger->drop();
    auto* inside = new GUIButton(environment, stranger, 33, core::recti(0, 0, 10, 10));
    inside->drop();
    std::string layout = asciiLayout(screen, "known.xml");
    screen->remove();
    layout = replaceAll(layout, "type=\"GUIImage\"", "type=\"GUIMystery\"");
    const std::string path = dir.file("unknown.xml");
    writeText(path, layout);

    const u32 before = root()->getChildren().size();
    EXPECT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    EXPECT_TRUE(log.contains("unknown element type \"GUIMystery\""));
    // Only the screen arrives at the root; the stranger's child did not land there.
    ASSERT_EQ(root()->getChildren().size(), before + 1);
    gui::IGUIElement* loaded = lastRootChild();
    EXPECT_EQ(loaded->getChildren().size(), 1u);
    EXPECT_NE(loaded->getElementFromId(31, true), nullptr);
    EXPECT_EQ(root()->getElementFromId(33, true), nullptr);
    // Names no factory of this kind makes are unknown too.
    layout = replaceAll(layout, "GUIMystery", "GUIHud");
    writeText(path, layout);
    loadGuiLayout(environment, path.c_str(), nullptr);
    EXPECT_EQ(root()->getElementFromId(33, true), nullptr);
}

TEST_F(LayoutTest, LayoutThatEmbedsItselfStops) {
    const std::string path = dir.file("loop.xml");
    auto* holder = new GUISubElement(environment, root(), core::recti(0, 0, 10, 10));
    holder->drop();
    // A sub-element whose layout is the file that holds it.
    holder->loadGUIFile(path.c_str()); // not there yet: nothing inside
    saveLayout(holder, "loop.xml");
    holder->remove();
    loadGuiLayout(environment, path.c_str(), nullptr);
    EXPECT_TRUE(log.contains("nests layouts deeper"));
}

// A layout may hold layouts eight files deep (the outermost counted); a ninth is not read.
TEST_F(LayoutTest, LayoutsNestEightFilesDeepAndNoDeeper) {
    for (const int files : {8, 9}) {
        SCOPED_TRACE(files);
        const std::string prefix = "chain" + std::to_string(files) + "-";
        auto* image = new GUIImage(environment, root(), 77, core::recti(0, 0, 20, 20));
        image->drop();
        std::string path = saveLayout(image, prefix + std::to_string(files - 1) + ".xml");
        image->remove();
        for (int k = files - 2; k >= 0; --k) {
            auto* holder = new GUISubElement(environment, root(), core::recti(0, 0, 10, 10));
            holder->drop();
            holder->loadGUIFile(path.c_str());
            path = saveLayout(holder, prefix + std::to_string(k) + ".xml");
            holder->remove();
        }
        log.lines.clear();
        ASSERT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
        gui::IGUIElement* outer = lastRootChild();
        EXPECT_EQ(outer->getElementFromId(77, true) != nullptr, files == 8);
        EXPECT_EQ(log.contains("nests layouts deeper"), files == 9);
        outer->remove();
    }
}

// --- what a layout may ask of the engine ---------------------------------------------------

std::string layoutOf(const std::string& elements) {
    return "<?xml version=\"1.0\"?>\n<irr_gui>" + elements + "</irr_gui>\n";
}

std::string imageElement(s32 id) {
    return "<element type=\"GUIImage\"><attributes><int name=\"Id\" value=\"" + std::to_string(id) +
           "\" /></attributes></element>";
}

std::string subLayoutElement(const std::string& path) {
    return "<element type=\"GUISubElement\"><attributes><string name=\"GUIPath\" value=\"" + path +
           "\" /></attributes></element>";
}

s32 countWithId(gui::IGUIElement* element, s32 id) {
    s32 count = element->getID() == id ? 1 : 0;
    for (gui::IGUIElement* child : element->getChildren())
        count += countWithId(child, id);
    return count;
}

TEST_F(LayoutTest, LayoutsNestElementsAtMostSixtyFourDeep) {
    const struct {
        int depth;
        bool typed; // bare elements keep the deepest file small
        bool loads;
    } cases[] = {{64, true, true}, {65, true, false}, {40000, false, false}};
    for (const auto& c : cases) {
        log.lines.clear();
        std::string nested;
        for (int i = 0; i < c.depth; ++i)
            nested += c.typed ? "<element type=\"GUIImage\"><attributes><int name=\"Id\" value=\"9\" /></attributes>"
                              : "<element>";
        for (int i = 0; i < c.depth; ++i)
            nested += "</element>";
        const std::string path = dir.file("deep" + std::to_string(c.depth) + ".xml");
        writeText(path, layoutOf(nested));
        EXPECT_EQ(loadGuiLayout(environment, path.c_str(), nullptr), c.loads) << c.depth;
        EXPECT_EQ(countWithId(root(), 9), c.loads ? c.depth : 0) << c.depth;
        EXPECT_EQ(log.contains("nests elements deeper than 64; it is not read."), !c.loads) << c.depth;
        environment->clear();
    }
}

TEST_F(LayoutTest, TheEnginesElementTypesAreLeftOutWithOneLinePerType) {
    // Made, each would read its count from the file and loop on it.
    const std::string combo =
        "<element type=\"comboBox\"><attributes><int name=\"ItemCount\" value=\"2147483647\" /></attributes>" +
        imageElement(6) + "</element>";
    const std::string path = dir.file("engine.xml");
    writeText(path, layoutOf(imageElement(5) + combo + combo + combo +
                             "<element type=\"spinBox\"><attributes><int name=\"DecimalPlaces\" "
                             "value=\"2147483647\" /></attributes></element>"));
    const u32 before = root()->getChildren().size();
    EXPECT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
    EXPECT_EQ(root()->getChildren().size(), before + 1);
    EXPECT_EQ(countWithId(root(), 5), 1);
    EXPECT_EQ(countWithId(root(), 6), 0) << "left out with the element around it";
    EXPECT_TRUE(log.contains("names the unknown element type \"comboBox\" 3 times; each is left out"));
    EXPECT_TRUE(log.contains("names the unknown element type \"spinBox\"; it is left out"));
}

TEST_F(LayoutTest, OneLoadReadsAtMostAHundredLayoutFiles) {
    writeText(dir.file("leaf.xml"), layoutOf(imageElement(7)));
    // One layout and its sub-layouts: 1 + subLayouts files.
    const struct {
        int subLayouts;
        s32 leaves;
    } cases[] = {{99, 99}, {100, 99}};
    for (const auto& c : cases) {
        log.lines.clear();
        std::string subs;
        for (int i = 0; i < c.subLayouts; ++i)
            subs += subLayoutElement(dir.file("leaf.xml"));
        const std::string path = dir.file("wide" + std::to_string(c.subLayouts) + ".xml");
        writeText(path, layoutOf(subs));
        EXPECT_TRUE(loadGuiLayout(environment, path.c_str(), nullptr));
        EXPECT_EQ(countWithId(root(), 7), c.leaves) << c.subLayouts;
        EXPECT_EQ(log.contains("the layout reads more than 100 layout files."), c.leaves < c.subLayouts)
            << c.subLayouts;
        environment->clear();
    }
    // Ten sub-layouts in each of eight files, each naming the next: 10^7 reads without the bound.
    log.lines.clear();
    for (int level = 0; level < 8; ++level) {
        std::string subs;
        for (int i = 0; i < 10; ++i)
            subs += level < 7 ? subLayoutElement(dir.file("fan" + std::to_string(level + 1) + ".xml")) : imageElement(7);
        writeText(dir.file("fan" + std::to_string(level) + ".xml"), layoutOf(subs));
    }
    EXPECT_TRUE(loadGuiLayout(environment, dir.file("fan0.xml").c_str(), nullptr));
    EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                            [](const std::string& line) { return line.find("more than 100 layout files") != std::string::npos; }),
              1);
}

} // namespace

namespace {

using FrontTest = guitest::GuiFixture;

// Elements kept in front end their parent's child list in the order given, and stay there.
TEST_F(FrontTest, ElementsKeptInFrontEndTheirParentsListInOrder) {
    auto* parent = new gui::IGUIElement(gui::EGUIET_ELEMENT, environment, root(), -1, core::recti(0, 0, 10, 10));
    parent->drop();
    gui::IGUIElement* made[3];
    for (gui::IGUIElement*& element : made) {
        element = new gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent, -1, core::recti(0, 0, 1, 1));
        element->drop();
    }
    gui::IGUIElement *a = made[0], *b = made[1], *c = made[2];
    const auto order = [parent] {
        std::vector<gui::IGUIElement*> children;
        for (gui::IGUIElement* child : parent->getChildren())
            children.push_back(child);
        return children;
    };
    keepInFront({a, b});
    EXPECT_EQ(order(), (std::vector<gui::IGUIElement*>{c, a, b}));
    keepInFront({a, b, nullptr});
    EXPECT_EQ(order(), (std::vector<gui::IGUIElement*>{c, a, b})) << "in front already";
    keepInFront({b, a});
    EXPECT_EQ(order(), (std::vector<gui::IGUIElement*>{c, b, a}));
}

// Each edge alignment of a layout reads as written when it names an alignment, and as
// upper-left when it is missing or names none; the element writes it back by name.
TEST_F(LayoutTest, EdgeAlignmentsMissingOrUnknownReadAsUpperLeft) {
    const char* const keys[] = {"LeftAlign", "RightAlign", "TopAlign", "BottomAlign"};
    const struct {
        const char* value; // nullptr: the key is missing
        const char* read;
    } rows[] = {{nullptr, "upperLeft"}, {"sideways", "upperLeft"}, {"center", "center"}, {"scale", "scale"}};
    for (const char* key : keys) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(key) + " " + (row.value ? row.value : "(missing)"));
            io::IAttributes* in = attributes();
            in->addRect("Rect", core::recti(0, 0, 40, 40));
            for (const char* other : keys)
                if (std::string(other) != key)
                    in->addEnum(other, "lowerRight", gui::GUIAlignmentNames);
            if (row.value)
                in->addEnum(key, row.value, gui::GUIAlignmentNames);
            auto* image = new GUIImage(environment, root(), -1, core::recti());
            image->drop();
            image->deserializeAttributes(in);
            io::IAttributes* out = attributes();
            image->serializeAttributes(out);
            for (const char* other : keys)
                EXPECT_STREQ(out->getAttributeAsEnumeration(other), std::string(other) == key ? row.read : "lowerRight")
                    << other;
        }
    }
}

} // namespace
