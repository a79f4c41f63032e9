#pragma once

#include <irrTypes.h>

#include <map>
#include <string>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// The GUI side of the objective list: the objective panel implements it, sets itself as the
// list's display when it is made and clears that when it goes. Rows are numbered by their
// place in the list (0 first).
class ObjectiveDisplay {
public:
    virtual ~ObjectiveDisplay() = default;
    // The row's title text.
    virtual void setRowText(int row, const wchar_t* text) = 0;
    // The open look: the icon at the frame, the row shown or hidden.
    virtual void setRowOpenLook(int row, irr::s32 iconFrame, bool visible) = 0;
    // The highlight of a row that has just been completed.
    virtual void showCompletionHighlight(int row) = 0;
    // The completed look: the icon at the frame (the list's completedIconFrame), the row
    // struck through and grey.
    virtual void setRowCompletedLook(int row, irr::s32 iconFrame) = 0;
    virtual void hideAll() = 0;
};

// What the list knows of one objective of the level.
struct ObjectiveEntry {
    irr::s32 id = 0;          // the objective object's ID
    std::wstring textID;      // its text in the objective collection
    irr::s32 iconFrame = 0;   // its icon in the task-icon animation
    bool revealed = false;
    bool completed = false;
};

// The level's objectives in the order they became active; the first is the current one.
// The list keeps each objective's row up to date on its display and takes the row texts
// from the objective collection of the current language.
//
// Collection file "Content/Language/<language>/Objectives.xml":
//   <Objectives>
//     <Collection name="Church_Main">
//       <Objective id="GetInside" text="Get inside the church"/>
//     </Collection>
//   </Objectives>
// An objective whose text the collection lacks shows "#" followed by its text ID.
class ObjectiveList {
public:
    static constexpr const char* defaultCollectionFile = "Content/Language/English/Objectives.xml";
    // How long a completed row shows its highlight before it takes the completed look.
    static constexpr irr::f32 highlightSeconds = 2.0f;
    // The task icons hold the open, done, bonus and failed icons in that order: a completed
    // row shows the done icon (the tick) whatever its open icon.
    static constexpr irr::s32 completedIconFrame = 1;

    // Appends the objective unless its ID is in the list already; answers whether it was
    // appended. Its row is shown at once.
    bool add(const ObjectiveEntry& entry);
    // An objective of the list changed (revealed or hidden, content replaced): its row follows.
    void update(const ObjectiveEntry& entry);
    // The objective was completed: its row is highlighted, then takes the completed look.
    void complete(irr::s32 id);
    bool contains(irr::s32 id) const;
    // The objective's place in the list (0 first), or -1.
    int rowOf(irr::s32 id) const;
    // True when the first entry is the objective's.
    bool isCurrent(irr::s32 id) const;
    const std::vector<ObjectiveEntry>& getEntries() const { return entries; }
    // Between levels: empties the list and hides every row.
    void clear();

    // Per frame: ends the completion highlights whose time is up, and re-sends every row when
    // a refresh was asked for.
    void tick(irr::f32 seconds);
    // Re-sends every row's text and look to the display.
    void refresh();
    // Set on a change of language; the next tick refreshes the rows.
    bool refreshRequested = false;

    // The collection of the level's objective texts and the file that holds the collections
    // for the current language.
    void setCollection(const std::string& name) { collection = name; }
    const std::string& getCollection() const { return collection; }
    void setCollectionFile(const std::string& file) { collectionFile = file; }
    const std::string& getCollectionFile() const { return collectionFile; }
    // Reads the collection's texts anew from the collection file; false when the file could
    // not be read (the texts are then empty).
    bool loadCollection(irr::io::IFileSystem* fileSystem);
    // The text of a text ID; "#<id>" when the collection lacks it.
    std::wstring getText(const std::wstring& textID) const;

    void setDisplay(ObjectiveDisplay* panel) { display = panel; }
    ObjectiveDisplay* getDisplay() const { return display; }

private:
    void showRow(int row);

    std::vector<ObjectiveEntry> entries;
    std::vector<irr::f32> highlightTimers; // by row; > 0 while the completion highlight shows
    std::string collection;
    std::string collectionFile = defaultCollectionFile;
    std::map<std::wstring, std::wstring> texts;
    ObjectiveDisplay* display = nullptr;
};
