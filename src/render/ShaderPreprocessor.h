#pragma once

#include <irrTypes.h>

#include <map>
#include <string>
#include <vector>

namespace irr::video {
class IVideoDriver;
}

// Prepares the built-in and post-effect shader sources before the engine compiles them.
// Every dialect gets one conditional syntax of its own: "##ifdef NAME" (or "##ifdef !NAME"),
// "##else", "##endif", evaluated against a table of defines that starts with one entry per
// capability the video driver reports. Defines that carry a value are substituted as plain
// text. The directives become line comments ("//ifdef ..."), and the discarded parts are
// blanked, so every position in the text stays where it was.
//
// Diagnostics go to standard error (never to the log); none of them stops the caller.
class ShaderPreprocessor {
public:
    // One conditional block found in a text; positions are character indices.
    struct IfdefBlock {
        irr::s32 ifPosition = -1;
        irr::s32 elsePosition = -1;
        irr::s32 endifPosition = -1;
        std::string name;
        bool negated = false;
    };

    // The driver's feature defines (null driver pointer: none).
    explicit ShaderPreprocessor(irr::video::IVideoDriver* driver);

    // Sets the value of a define, inserting it when new. An empty value only marks the name
    // as defined for "##ifdef"; a value must not contain the define's own name.
    void addDefine(const std::string& name, const std::string& value);
    bool isDefined(const std::string& name) const { return defines.count(name) != 0; }

    std::string preprocessSource(const std::string& source) const;
    // The file read line by line in text mode, each line followed by "\n"; a file that
    // cannot be opened gives an empty text, without a message.
    std::string preprocessFile(const std::string& path) const;

    // The first stage: blanks the comments, turns the directives into comments and collects
    // the blocks (only when the text holds an "##ifdef" at all).
    std::vector<IfdefBlock> process(std::string& text) const;

private:
    irr::video::IVideoDriver* driver;
    std::map<std::string, std::string> defines;
};
