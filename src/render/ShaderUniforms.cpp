#include "render/ShaderUniforms.h"

#include <cstring>

using namespace irr;

ShaderUniforms& shaderUniforms() {
    static ShaderUniforms instance;
    return instance;
}

void ShaderUniforms::forget() {
    programs.clear();
    lastServices = nullptr;
    lastProgram = nullptr;
    driver = nullptr;
    setCount = 0;
    keptCount = 0;
}

ShaderUniforms::Uniform* ShaderUniforms::find(video::IMaterialRendererServices* services, const char* name,
                                              bool& tableRead) {
    tableRead = false;
    video::IVideoDriver* servicesDriver = services->getVideoDriver();
    if (!servicesDriver || servicesDriver->getDriverType() != video::EDT_OPENGL || !name)
        return nullptr;
    if (servicesDriver != driver) {
        forget();
        driver = servicesDriver;
    }
    // The engine's GLSL renderer is the services and has one program, bound while it sets
    // its constants: asked for once.
    // Services of another kind (a test's) keep the engine's way.
    if (services != lastServices) {
        auto found = programs.find(services);
        if (found == programs.end()) {
            if (!dynamic_cast<video::IMaterialRenderer*>(services))
                return nullptr;
            const unsigned id = platform::currentProgram();
            if (!id)
                return nullptr;
            Program program;
            for (platform::ProgramUniform& uniform : platform::programUniforms(id))
                program.uniforms.push_back(Uniform{std::move(uniform), {}});
            found = programs.emplace(services, std::move(program)).first;
        }
        lastServices = services;
        lastProgram = &found->second;
    }
    Program& program = *lastProgram;
    tableRead = true;
    const std::size_t names = program.names.size();
    for (std::size_t step = 0; step < names; ++step) {
        const std::size_t i = (program.nextName + step) % names;
        const Name& known = program.names[i];
        if (known.text == name && known.copy == name) {
            program.nextName = i + 1;
            return known.uniform >= 0 ? &program.uniforms[static_cast<std::size_t>(known.uniform)] : nullptr;
        }
    }
    int index = -1;
    const std::size_t length = std::strlen(name);
    for (std::size_t i = 0; i < program.uniforms.size() && index < 0; ++i) {
        const std::string& own = program.uniforms[i].gl.name;
        if (own == name || (own.size() == length + 3 && own.compare(0, length, name) == 0 &&
                            own.compare(length, 3, "[0]") == 0))
            index = static_cast<int>(i);
    }
    program.names.push_back(Name{name, name, index});
    program.nextName = program.names.size();
    return index >= 0 ? &program.uniforms[static_cast<std::size_t>(index)] : nullptr;
}

bool ShaderUniforms::unchanged(const Uniform& uniform, const void* values, std::size_t bytes) const {
    return uniform.last.size() == bytes && std::memcmp(uniform.last.data(), values, bytes) == 0;
}

template <class Value>
bool ShaderUniforms::sendValues(video::IMaterialRendererServices* services, const char* name, const Value* values,
                                int count, bool& answer) {
    bool tableRead = false;
    Uniform* uniform = count > 0 ? find(services, name, tableRead) : nullptr;
    if (!uniform) {
        answer = false;
        return tableRead && count > 0; // the program has no such uniform
    }
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(Value);
    answer = true;
    if (unchanged(*uniform, values, bytes)) {
        ++keptCount;
        return true;
    }
    if (!platform::setUniform(uniform->gl, values, count))
        return false; // a type the table does not set from such values: the engine's way
    const auto* begin = reinterpret_cast<const unsigned char*>(values);
    uniform->last.assign(begin, begin + bytes);
    ++setCount;
    return true;
}

bool ShaderUniforms::send(video::IMaterialRendererServices* services, const char* name, const f32* values, int count,
                          bool pixel) {
    bool answer = false;
    if (sendValues(services, name, values, count, answer))
        return answer;
    return pixel ? services->setPixelShaderConstant(name, values, count)
                 : services->setVertexShaderConstant(name, values, count);
}

bool ShaderUniforms::send(video::IMaterialRendererServices* services, const char* name, const s32* values, int count) {
    bool answer = false;
    if (sendValues(services, name, values, count, answer))
        return answer;
    return services->setPixelShaderConstant(name, values, count);
}
