#pragma once

#include <string>
#include <vector>

// The uniforms of the current OpenGL program, read and set directly: the engine's GLSL
// material renderer looks each name up among the program's uniforms and asks the driver for
// its location again on every call. Without a current context or program every call does
// nothing and answers 0, nothing or false.
namespace platform {

struct ProgramUniform {
    std::string name; // as the driver reports it (an array's ends in "[0]")
    int location = -1;
    unsigned type = 0; // the OpenGL type
};

// The program in use.
unsigned currentProgram();
// The program's active uniforms.
std::vector<ProgramUniform> programUniforms(unsigned program);
// Sets a uniform of the program in use from `count` values, as the engine's renderer does
// for its type; false for a type it does not set from such values.
bool setUniform(const ProgramUniform& uniform, const float* values, int count);
bool setUniform(const ProgramUniform& uniform, const int* values, int count);

} // namespace platform
