#include "gui/GuiLayout.h"

#include "core/Log.h"
#include "core/XmlFile.h"
#include "gui/GUIElementFactory.h"
#include "gui/GuiAttributes.h"

#include <IFileSystem.h>
#include <IGUIElement.h>
#include <IGUIElementFactory.h>
#include <IGUIEnvironment.h>
#include <IReadFile.h>
#include <IXMLReader.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace irr;

namespace {

// Layouts may embed layouts (sub-elements); a layout that embeds itself stops here.
constexpr int maxLayoutNesting = 8;
int layoutNesting = 0;
// Layout files one load reads, its sub-layouts at every depth included: layouts that each
// embed the next ten times would otherwise read millions of files.
constexpr int maxLayoutFilesPerLoad = 100;
int layoutFilesOfLoad = 0;
// The engine reads nested elements by recursion: deeper layouts are refused before it reads
// them, and no layout of the game comes near either bound.
constexpr int maxLayoutElementDepth = 64;
constexpr std::size_t maxLayoutFileBytes = 1024 * 1024;

// Stands in for an element of an unknown type while a layout loads, so that the elements
// inside it do not land at the root; removed with them afterwards.
class UnknownLayoutElement : public gui::IGUIElement {
public:
    UnknownLayoutElement(gui::IGUIEnvironment* environment, gui::IGUIElement* parent, const c8* typeName)
        : gui::IGUIElement(gui::EGUIET_ELEMENT, environment, parent, -1, core::recti(0, 0, 0, 0)),
          TypeName(typeName ? typeName : "") {
        IsVisible = false;
    }
    const c8* getTypeName() const override { return "UnknownLayoutElement"; }
    void setVisible(bool) override {}
    void deserializeAttributes(io::IAttributes* in, io::SAttributeReadWriteOptions* options) override {
        readElementAttributes(this, in, options);
    }
    const std::string TypeName;
};

// Registered once per environment after every other factory, so the engine asks it first.
// Active only while a layout loads, and only for names that no other factory can create.
class UnknownTypeGuard : public gui::IGUIElementFactory {
public:
    explicit UnknownTypeGuard(gui::IGUIEnvironment* environment) : Environment(environment) {}

    gui::IGUIElement* addGUIElement(const c8* typeName, gui::IGUIElement* parent) override {
        if (active == 0 || isKnown(typeName))
            return nullptr;
        if (!parent)
            parent = Environment->getRootGUIElement();
        auto* element = new UnknownLayoutElement(Environment, parent, typeName);
        element->drop();
        placeholders.push_back(element);
        return element;
    }
    gui::IGUIElement* addGUIElement(gui::EGUI_ELEMENT_TYPE, gui::IGUIElement*) override { return nullptr; }
    s32 getCreatableGUIElementTypeCount() const override { return 0; }
    gui::EGUI_ELEMENT_TYPE getCreateableGUIElementType(s32) const override { return gui::EGUIET_ELEMENT; }
    const c8* getCreateableGUIElementTypeName(s32) const override { return nullptr; }
    const c8* getCreateableGUIElementTypeName(gui::EGUI_ELEMENT_TYPE) const override { return nullptr; }

    int active = 0;
    std::vector<UnknownLayoutElement*> placeholders;

private:
    bool isKnown(const c8* typeName) const {
        if (!typeName || !*typeName)
            return false;
        const u32 count = Environment->getRegisteredGUIElementFactoryCount();
        for (u32 i = 0; i < count; ++i) {
            const gui::IGUIElementFactory* factory = Environment->getGUIElementFactory(i);
            if (factory == this)
                continue;
            if (GUIElementFactory::isGameFactory(factory)) {
                if (GUIElementFactory::canCreate(typeName))
                    return true;
                continue;
            }
            // The engine's own elements read counts from the file unchecked (a combo box's
            // "ItemCount", a table's rows): layouts hold only the game's.
            if (factory == Environment->getDefaultGUIElementFactory())
                continue;
            for (s32 t = 0; t < factory->getCreatableGUIElementTypeCount(); ++t) {
                const c8* name = factory->getCreateableGUIElementTypeName(t);
                if (name && std::strcmp(name, typeName) == 0)
                    return true;
            }
        }
        return false;
    }

    gui::IGUIEnvironment* Environment;
};

std::map<gui::IGUIEnvironment*, UnknownTypeGuard*>& guards() {
    static std::map<gui::IGUIEnvironment*, UnknownTypeGuard*> map;
    return map;
}

UnknownTypeGuard* guardFor(gui::IGUIEnvironment* environment) {
    auto& map = guards();
    auto found = map.find(environment);
    // The environment keeps the guard registered (and alive) for its own lifetime; an
    // environment at the same address later is a new one when the guard is not in it.
    if (found != map.end()) {
        const u32 count = environment->getRegisteredGUIElementFactoryCount();
        for (u32 i = 0; i < count; ++i)
            if (environment->getGUIElementFactory(i) == found->second)
                return found->second;
        map.erase(found);
    }
    auto* guard = new UnknownTypeGuard(environment);
    environment->registerGUIElementFactory(guard);
    guard->drop();
    map[environment] = guard;
    return guard;
}

// What the layout file holds, read before the engine reads it.
struct LayoutScan {
    bool isLayout = false;
    bool complete = false;
    int elementDepth = 0; // the deepest nesting of GUI elements
};

// Scans the file from its start and leaves it there for the engine.
LayoutScan scanLayout(io::IFileSystem* fileSystem, io::IReadFile* file) {
    LayoutScan scan;
    file->seek(0);
    io::IXMLReader* reader = fileSystem->createXMLReader(file);
    if (!reader)
        return scan;
    std::vector<bool> openIsElement; // per open XML element: whether it is a GUI element
    int elements = 0;
    bool sawRoot = false;
    while (reader->read()) {
        if (reader->getNodeType() == io::EXN_ELEMENT) {
            const core::stringw name = reader->getNodeName();
            if (!sawRoot) {
                sawRoot = true;
                scan.isLayout = name == L"irr_gui" || name == L"element";
            }
            const bool element = name == L"element";
            scan.elementDepth = std::max(scan.elementDepth, elements + (element ? 1 : 0));
            if (!reader->isEmptyElement()) {
                openIsElement.push_back(element);
                elements += element ? 1 : 0;
            }
        } else if (reader->getNodeType() == io::EXN_ELEMENT_END && !openIsElement.empty()) {
            elements -= openIsElement.back() ? 1 : 0;
            openIsElement.pop_back();
            if (openIsElement.empty() && sawRoot)
                scan.complete = true;
        }
    }
    reader->drop();
    file->seek(0);
    return scan;
}

// One line per type name however often a layout names it.
void reportLeftOut(const std::string& layout, const std::vector<std::string>& typeNames) {
    std::map<std::string, int> counts;
    std::vector<std::string> order;
    for (const std::string& name : typeNames)
        if (counts[name]++ == 0)
            order.push_back(name);
    for (const std::string& name : order) {
        if (counts[name] == 1)
            logMessagef("Warning: GUI layout \"%s\" names the unknown element type \"%s\"; it is left out "
                        "with the elements inside it.",
                        layout.c_str(), name.c_str());
        else
            logMessagef("Warning: GUI layout \"%s\" names the unknown element type \"%s\" %d times; each is "
                        "left out with the elements inside it.",
                        layout.c_str(), name.c_str(), counts[name]);
    }
}

} // namespace

bool loadGuiLayout(gui::IGUIEnvironment* environment, const io::path& path, gui::IGUIElement* parent) {
    if (!environment)
        return false;
    const std::string name = path.c_str();
    if (layoutNesting >= maxLayoutNesting) {
        logMessagef("ERROR: GUI layout \"%s\" nests layouts deeper than %d; it is not read.", name.c_str(),
                    maxLayoutNesting);
        return false;
    }
    if (layoutNesting == 0)
        layoutFilesOfLoad = 0;
    if (++layoutFilesOfLoad > maxLayoutFilesPerLoad) {
        // One line for the load: the refusals that follow say nothing new.
        if (layoutFilesOfLoad == maxLayoutFilesPerLoad + 1)
            logMessagef("ERROR: GUI layout \"%s\" left out, the layout reads more than %d layout files.",
                        name.c_str(), maxLayoutFilesPerLoad);
        return false;
    }
    io::IFileSystem* fileSystem = environment->getFileSystem();
    io::IReadFile* file = createGuardedContentReadFile(fileSystem, name, maxLayoutFileBytes);
    if (!file) {
        logMessagef("ERROR: Could not open GUI layout \"%s\".", name.c_str());
        return false;
    }
    const LayoutScan scan = scanLayout(fileSystem, file);
    if (scan.elementDepth > maxLayoutElementDepth) {
        logMessagef("ERROR: GUI layout \"%s\" nests elements deeper than %d; it is not read.", name.c_str(),
                    maxLayoutElementDepth);
        file->drop();
        return false;
    }
    if (!scan.isLayout)
        logMessagef("ERROR: \"%s\" is not a GUI layout.", name.c_str());
    else if (!scan.complete)
        logMessagef("Warning: GUI layout \"%s\" ends early; the elements read so far are kept.", name.c_str());

    UnknownTypeGuard* guard = guardFor(environment);
    const std::size_t firstPlaceholder = guard->placeholders.size();
    ++guard->active;
    ++layoutNesting;
    const bool read = environment->loadGUI(file, parent);
    --layoutNesting;
    --guard->active;
    file->drop();

    // Unknown elements leave with everything inside them.
    std::vector<std::string> leftOut;
    for (std::size_t i = firstPlaceholder; i < guard->placeholders.size(); ++i)
        leftOut.push_back(guard->placeholders[i]->TypeName);
    while (guard->placeholders.size() > firstPlaceholder) {
        guard->placeholders.back()->remove();
        guard->placeholders.pop_back();
    }
    reportLeftOut(name, leftOut);
    return read && scan.isLayout;
}

bool saveGuiLayout(gui::IGUIEnvironment* environment, const io::path& path, gui::IGUIElement* start) {
    if (!environment)
        return false;
    const bool saved = environment->saveGUI(path, start);
    if (!saved)
        logMessagef("ERROR: Could not write GUI layout \"%s\".", path.c_str());
    return saved;
}
