#pragma once

#include <irrTypes.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace irr::io {
class IFileSystem;
}

// Reading of the program's own small XML tables under Content/ (ties, achievements,
// objective collections). Each table names its format in a comment at its reader.

// One element of a table: its name, its attributes and how deep it sits (1 for the
// children of the root element).
struct ContentElement {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    int depth = 0;

    // An attribute's text; empty when absent.
    std::wstring text(const wchar_t* attribute) const;
    // An integer attribute; false when absent or not a whole decimal number.
    bool integer(const wchar_t* attribute, irr::s32& value) const;
};

// Reads the file and hands every element inside the root element to the visitor, in
// document order. The root element must be `rootElement`. False, after a log line naming
// the file, when the file cannot be opened or is not such a table. A file that ends early is
// logged and read as far as it is whole: the element the cut went through is left out.
bool readContentXml(irr::io::IFileSystem* fileSystem, const std::string& path,
                    const wchar_t* rootElement,
                    const std::function<void(const ContentElement& element)>& visitElement);
