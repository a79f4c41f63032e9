#pragma once

#include "platform/GraphicsUniforms.h"

#include <irrlicht.h>

#include <string>
#include <unordered_map>
#include <vector>

// Shader constants set by name through the OpenGL program's own table of uniforms, kept per
// program (per engine renderer: each has one), where the engine's renderer searches its list
// of names and asks the driver for the location on every call (a draw of the Phong programs
// sets some forty). A value the program already holds is not sent again. Other drivers, and
// names or types the table does not take, go through the engine's services as before. An
// array is found by its name with or without "[0]".
class ShaderUniforms {
public:
    // What the services' setters answer: whether the program has such a uniform.
    bool send(irr::video::IMaterialRendererServices* services, const char* name, const irr::f32* values, int count,
              bool pixel);
    bool send(irr::video::IMaterialRendererServices* services, const char* name, const irr::s32* values, int count);
    // The programs are gone with their driver.
    void forget();
    // Values set through OpenGL and those found unchanged since the last start.
    std::size_t uniformsSet() const { return setCount; }
    std::size_t uniformsKept() const { return keptCount; }

private:
    struct Uniform {
        platform::ProgramUniform gl;
        std::vector<unsigned char> last; // the bytes last sent
    };
    struct Name {
        const char* text; // the caller's pointer: a name is mostly a literal, met again and again
        std::string copy;
        int uniform; // -1: not in the program
    };
    struct Program {
        std::vector<Uniform> uniforms;
        std::vector<Name> names;
        // Where the next name is looked for first: a draw sends its names in the order the
        // draw before sent them.
        std::size_t nextName = 0;
    };
    // The uniform of that name of the services' program, or null (then `tableRead` says
    // whether its table was read at all).
    Uniform* find(irr::video::IMaterialRendererServices* services, const char* name, bool& tableRead);
    bool unchanged(const Uniform& uniform, const void* values, std::size_t bytes) const;
    // True when settled here (`answer` then holds what to answer); false: the engine's way.
    template <class Value>
    bool sendValues(irr::video::IMaterialRendererServices* services, const char* name, const Value* values, int count,
                    bool& answer);

    std::unordered_map<const irr::video::IMaterialRendererServices*, Program> programs;
    // The last services asked for and their program (a draw sends all its names to one).
    const irr::video::IMaterialRendererServices* lastServices = nullptr;
    Program* lastProgram = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    std::size_t setCount = 0, keptCount = 0;
};

ShaderUniforms& shaderUniforms();
