#include "platform/GraphicsUniforms.h"

#include "platform/GraphicsLibrary.h"

namespace platform {

namespace {

constexpr unsigned glCurrentProgram = 0x8B8D;
constexpr unsigned glActiveUniforms = 0x8B86;
constexpr unsigned glActiveUniformMaxLength = 0x8B87;
constexpr unsigned glFloat = 0x1406, glFloatVec2 = 0x8B50, glFloatVec3 = 0x8B51, glFloatVec4 = 0x8B52;
constexpr unsigned glFloatMat2 = 0x8B5A, glFloatMat3 = 0x8B5B, glFloatMat4 = 0x8B5C;
constexpr unsigned glInt = 0x1404, glIntVec2 = 0x8B53, glIntVec3 = 0x8B54, glIntVec4 = 0x8B55;
constexpr unsigned glBool = 0x8B56, glBoolVec2 = 0x8B57, glBoolVec3 = 0x8B58, glBoolVec4 = 0x8B59;
constexpr unsigned glSampler1D = 0x8B5D, glSampler2D = 0x8B5E, glSampler3D = 0x8B5F, glSamplerCube = 0x8B60;
constexpr unsigned glSampler1DShadow = 0x8B61, glSampler2DShadow = 0x8B62;

bool isSampler(unsigned type) {
    return type == glSampler1D || type == glSampler2D || type == glSampler3D || type == glSamplerCube ||
           type == glSampler1DShadow || type == glSampler2DShadow;
}

using Floats = void (*)(int, int, const float*);
using Ints = void (*)(int, int, const int*);
using Matrices = void (*)(int, int, unsigned char, const float*);

} // namespace

unsigned currentProgram() {
    using GetIntegerv = void (*)(unsigned, int*);
    static const auto getIntegerv = glFunction<GetIntegerv>("glGetIntegerv");
    int program = 0;
    if (getIntegerv)
        getIntegerv(glCurrentProgram, &program);
    return program > 0 ? static_cast<unsigned>(program) : 0u;
}

std::vector<ProgramUniform> programUniforms(unsigned program) {
    using GetProgramiv = void (*)(unsigned, unsigned, int*);
    using GetActiveUniform = void (*)(unsigned, unsigned, int, int*, int*, unsigned*, char*);
    using GetUniformLocation = int (*)(unsigned, const char*);
    static const auto getProgramiv = glFunction<GetProgramiv>("glGetProgramiv");
    static const auto getActiveUniform = glFunction<GetActiveUniform>("glGetActiveUniform");
    static const auto getUniformLocation = glFunction<GetUniformLocation>("glGetUniformLocation");
    std::vector<ProgramUniform> uniforms;
    if (!program || !getProgramiv || !getActiveUniform || !getUniformLocation)
        return uniforms;
    int count = 0, longest = 0;
    getProgramiv(program, glActiveUniforms, &count);
    getProgramiv(program, glActiveUniformMaxLength, &longest);
    std::vector<char> name(static_cast<std::size_t>(longest > 0 ? longest : 1) + 1);
    for (int i = 0; i < count; ++i) {
        int length = 0, size = 0;
        unsigned type = 0;
        getActiveUniform(program, static_cast<unsigned>(i), static_cast<int>(name.size()), &length, &size, &type,
                         name.data());
        ProgramUniform uniform;
        uniform.name.assign(name.data(), static_cast<std::size_t>(length > 0 ? length : 0));
        uniform.location = getUniformLocation(program, uniform.name.c_str());
        uniform.type = type;
        uniforms.push_back(uniform);
    }
    return uniforms;
}

bool setUniform(const ProgramUniform& uniform, const float* values, int count) {
    static const auto floats1 = glFunction<Floats>("glUniform1fv");
    static const auto floats2 = glFunction<Floats>("glUniform2fv");
    static const auto floats3 = glFunction<Floats>("glUniform3fv");
    static const auto floats4 = glFunction<Floats>("glUniform4fv");
    static const auto matrices2 = glFunction<Matrices>("glUniformMatrix2fv");
    static const auto matrices3 = glFunction<Matrices>("glUniformMatrix3fv");
    static const auto matrices4 = glFunction<Matrices>("glUniformMatrix4fv");
    static const auto ints1 = glFunction<Ints>("glUniform1iv");
    const int at = uniform.location;
    switch (uniform.type) {
    case glFloat: return floats1 && (floats1(at, count, values), true);
    case glFloatVec2: return floats2 && (floats2(at, count / 2, values), true);
    case glFloatVec3: return floats3 && (floats3(at, count / 3, values), true);
    case glFloatVec4: return floats4 && (floats4(at, count / 4, values), true);
    case glFloatMat2: return matrices2 && (matrices2(at, count / 4, 0, values), true);
    case glFloatMat3: return matrices3 && (matrices3(at, count / 9, 0, values), true);
    case glFloatMat4: return matrices4 && (matrices4(at, count / 16, 0, values), true);
    default:
        if (!isSampler(uniform.type) || !ints1 || count < 1)
            return false;
        const int unit = static_cast<int>(*values);
        ints1(at, 1, &unit);
        return true;
    }
}

bool setUniform(const ProgramUniform& uniform, const int* values, int count) {
    static const auto ints1 = glFunction<Ints>("glUniform1iv");
    static const auto ints2 = glFunction<Ints>("glUniform2iv");
    static const auto ints3 = glFunction<Ints>("glUniform3iv");
    static const auto ints4 = glFunction<Ints>("glUniform4iv");
    const int at = uniform.location;
    switch (uniform.type) {
    case glInt:
    case glBool: return ints1 && (ints1(at, count, values), true);
    case glIntVec2:
    case glBoolVec2: return ints2 && (ints2(at, count / 2, values), true);
    case glIntVec3:
    case glBoolVec3: return ints3 && (ints3(at, count / 3, values), true);
    case glIntVec4:
    case glBoolVec4: return ints4 && (ints4(at, count / 4, values), true);
    default:
        if (!isSampler(uniform.type) || !ints1 || count < 1)
            return false;
        ints1(at, 1, values);
        return true;
    }
}

} // namespace platform
