#include "level/ObjectiveList.h"

#include "core/Utf8.h"
#include "level/ContentXml.h"

#include <irrlicht.h>


using namespace irr;

int ObjectiveList::rowOf(s32 id) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].id == id)
            return static_cast<int>(i);
    return -1;
}

bool ObjectiveList::contains(s32 id) const {
    return rowOf(id) >= 0;
}

bool ObjectiveList::isCurrent(s32 id) const {
    return !entries.empty() && entries.front().id == id;
}

bool ObjectiveList::add(const ObjectiveEntry& entry) {
    if (contains(entry.id))
        return false;
    entries.push_back(entry);
    highlightTimers.push_back(0.0f);
    showRow(static_cast<int>(entries.size()) - 1);
    return true;
}

void ObjectiveList::update(const ObjectiveEntry& entry) {
    const int row = rowOf(entry.id);
    if (row < 0)
        return;
    ObjectiveEntry& stored = entries[static_cast<std::size_t>(row)];
    const bool newlyCompleted = entry.completed && !stored.completed;
    const bool completed = stored.completed;
    stored = entry;
    stored.completed = completed;
    if (newlyCompleted)
        complete(entry.id);
    else
        showRow(row);
}

void ObjectiveList::complete(s32 id) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    const auto index = static_cast<std::size_t>(row);
    if (entries[index].completed)
        return;
    entries[index].completed = true;
    highlightTimers[index] = highlightSeconds;
    if (display)
        display->showCompletionHighlight(row);
}

void ObjectiveList::clear() {
    entries.clear();
    highlightTimers.clear();
    if (display)
        display->hideAll();
}

void ObjectiveList::tick(f32 seconds) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (highlightTimers[i] <= 0.0f)
            continue;
        highlightTimers[i] -= seconds;
        if (highlightTimers[i] <= 0.0f) {
            highlightTimers[i] = 0.0f;
            showRow(static_cast<int>(i));
        }
    }
    if (refreshRequested) {
        refreshRequested = false;
        refresh();
    }
}

void ObjectiveList::refresh() {
    for (std::size_t i = 0; i < entries.size(); ++i)
        showRow(static_cast<int>(i));
}

void ObjectiveList::showRow(int row) {
    if (!display)
        return;
    const auto index = static_cast<std::size_t>(row);
    const ObjectiveEntry& entry = entries[index];
    display->setRowText(row, getText(entry.textID).c_str());
    if (!entry.completed)
        display->setRowOpenLook(row, entry.iconFrame, entry.revealed);
    else if (highlightTimers[index] <= 0.0f)
        display->setRowCompletedLook(row, completedIconFrame);
    // A row whose highlight still shows keeps it until its time is up.
}

bool ObjectiveList::loadCollection(io::IFileSystem* fileSystem) {
    texts.clear();
    const std::wstring wanted = fromUtf8(collection.c_str());
    bool inCollection = false;
    const bool read = readContentXml(fileSystem, collectionFile, L"Objectives", [&](const ContentElement& element) {
        if (element.depth == 1)
            inCollection = element.name == L"Collection" && element.text(L"name") == wanted;
        else if (inCollection && element.depth == 2 && element.name == L"Objective" &&
                 !element.text(L"id").empty())
            texts.emplace(element.text(L"id"), element.text(L"text"));
    });
    refreshRequested = true;
    return read;
}

std::wstring ObjectiveList::getText(const std::wstring& textID) const {
    const auto found = texts.find(textID);
    return found == texts.end() ? L"#" + textID : found->second;
}
