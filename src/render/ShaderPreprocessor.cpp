#include "render/ShaderPreprocessor.h"

#include <IVideoDriver.h>

#include <fstream>
#include <iostream>

using namespace irr;

namespace {

// The capabilities a shader may test, in the order they are asked.
struct FeatureDefine {
    video::E_VIDEO_DRIVER_FEATURE feature;
    const char* name;
};
const FeatureDefine featureDefines[] = {
    {video::EVDF_TEXTURE_NPOT, "EVDF_TEXTURE_NPOT"},
    {video::EVDF_FRAMEBUFFER_OBJECT, "EVDF_FRAMEBUFFER_OBJECT"},
    {video::EVDF_VERTEX_SHADER_1_1, "EVDF_VERTEX_SHADER_1_1"},
    {video::EVDF_VERTEX_SHADER_2_0, "EVDF_VERTEX_SHADER_2_0"},
    {video::EVDF_VERTEX_SHADER_3_0, "EVDF_VERTEX_SHADER_3_0"},
    {video::EVDF_PIXEL_SHADER_1_1, "EVDF_PIXEL_SHADER_1_1"},
    {video::EVDF_PIXEL_SHADER_1_2, "EVDF_PIXEL_SHADER_1_2"},
    {video::EVDF_PIXEL_SHADER_1_3, "EVDF_PIXEL_SHADER_1_3"},
    {video::EVDF_PIXEL_SHADER_1_4, "EVDF_PIXEL_SHADER_1_4"},
    {video::EVDF_PIXEL_SHADER_2_0, "EVDF_PIXEL_SHADER_2_0"},
    {video::EVDF_PIXEL_SHADER_3_0, "EVDF_PIXEL_SHADER_3_0"},
};

void blankRange(std::string& text, std::size_t from, std::size_t to) {
    to = std::min(to, text.size());
    for (std::size_t i = from; i < to; ++i)
        text[i] = ' ';
}

std::string trimBlanks(const std::string& text) {
    const char* blanks = " \t\n\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void blankComments(std::string& text) {
    for (std::size_t at = text.find("//"); at != std::string::npos; at = text.find("//")) {
        const std::size_t end = text.find('\n', at);
        blankRange(text, at, end == std::string::npos ? text.size() : end);
    }
    for (std::size_t at = text.find("/*"); at != std::string::npos; at = text.find("/*")) {
        const std::size_t close = text.find("*/");
        const bool closedAfter = close != std::string::npos && close > at;
        blankRange(text, at, closedAfter ? close + 2 : text.size());
    }
}

void turnIntoComment(std::string& text, std::size_t at) {
    text[at] = '/';
    text[at + 1] = '/';
}

void reportPreprocessorError(const char* message) { std::cerr << message << std::endl; }

} // namespace

ShaderPreprocessor::ShaderPreprocessor(video::IVideoDriver* videoDriver) : driver(videoDriver) {
    if (!driver)
        return;
    for (const FeatureDefine& entry : featureDefines)
        if (driver->queryFeature(entry.feature))
            addDefine(entry.name, "");
}

void ShaderPreprocessor::addDefine(const std::string& name, const std::string& value) {
    defines[name] = value;
}

std::vector<ShaderPreprocessor::IfdefBlock> ShaderPreprocessor::process(std::string& text) const {
    std::vector<IfdefBlock> blocks;
    if (text.find("##ifdef") == std::string::npos)
        return blocks;
    blankComments(text);

    const std::size_t length = text.size();
    for (std::size_t at = text.find("##ifdef"); at != std::string::npos; at = text.find("##ifdef")) {
        turnIntoComment(text, at);
        IfdefBlock block;
        block.ifPosition = static_cast<s32>(at);
        const std::size_t blank = text.find(' ', at);
        const std::size_t newline = blank == std::string::npos ? blank : text.find('\n', blank);
        if (newline == std::string::npos) {
            reportPreprocessorError("Shader preprocessor encountered invalid if statement.");
            return blocks;
        }
        block.name = trimBlanks(text.substr(blank, newline - blank));
        if (!block.name.empty() && block.name[0] == '!') {
            block.name = trimBlanks(block.name.substr(1));
            block.negated = true;
        }

        int depth = 0;
        bool closed = false;
        for (std::size_t i = at; i < length; ++i) {
            if (text[i] != '#')
                continue;
            if (i + 3 >= length)
                break; // a '#' among the last three characters
            if (text[i + 1] != '#')
                continue;
            const char third = text[i + 2];
            const char fourth = text[i + 3];
            if (third == 'i') {
                ++depth;
            } else if (third == 'e' && fourth == 'n') {
                if (depth > 0) {
                    --depth;
                } else {
                    turnIntoComment(text, i);
                    block.endifPosition = static_cast<s32>(i);
                    closed = true;
                    break;
                }
            } else if (third == 'e' && fourth == 'l' && depth == 0) {
                if (block.elsePosition >= 0) {
                    reportPreprocessorError(
                        "Shader preprocessor encountered duplicate else statements per if statement.");
                    return blocks;
                }
                turnIntoComment(text, i);
                block.elsePosition = static_cast<s32>(i);
            }
            ++i; // past the second hash sign
        }
        if (!closed) {
            reportPreprocessorError("Shader preprocessor encountered unmatched if statement.");
            return blocks;
        }
        blocks.push_back(block);
    }
    return blocks;
}

std::string ShaderPreprocessor::preprocessSource(const std::string& source) const {
    std::string text = source;
    for (const IfdefBlock& block : process(text)) {
        const bool holds = (defines.count(block.name) != 0) != block.negated;
        const std::size_t ifAt = static_cast<std::size_t>(block.ifPosition);
        const std::size_t elseAt = static_cast<std::size_t>(block.elsePosition);
        const std::size_t endifAt = static_cast<std::size_t>(block.endifPosition);
        if (holds) {
            if (block.elsePosition >= 0 && block.endifPosition >= 0)
                blankRange(text, elseAt, endifAt + 7);
        } else if (block.elsePosition >= 0) {
            blankRange(text, ifAt, elseAt + 6);
        } else if (block.endifPosition >= 0) {
            blankRange(text, ifAt, endifAt + 7);
        }
    }
    for (const auto& [name, value] : defines) {
        if (name.empty() || value.empty())
            continue;
        // The search goes on after the inserted value: a value that holds the define's own
        // name would otherwise be substituted for ever.
        for (std::size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + value.size())) {
            blankRange(text, at, at + name.size());
            text.insert(at, value);
        }
    }
    return text;
}

std::string ShaderPreprocessor::preprocessFile(const std::string& path) const {
    std::ifstream file(path);
    if (!file)
        return {};
    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        text += line;
        text += '\n';
    }
    return preprocessSource(text);
}
