#pragma once

#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

namespace rendertest {

// Renderer services that keep every constant a callback hands them, by name, instead of
// sending it to a program. `accepted` decides which names "exist" (all by default).
class RecordingServices : public irr::video::IMaterialRendererServices {
public:
    explicit RecordingServices(irr::video::IVideoDriver* driver) : driver(driver) {}

    void setBasicRenderStates(const irr::video::SMaterial&, const irr::video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override {
        return keepFloats(name, floats, count, true);
    }
    bool setVertexShaderConstant(const irr::c8* name, const bool*, int) override { return accepts(name); }
    bool setVertexShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override {
        return keepInts(name, ints, count);
    }
    void setVertexShaderConstant(const irr::f32*, irr::s32, irr::s32) override {}
    bool setPixelShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override {
        return keepFloats(name, floats, count, false);
    }
    bool setPixelShaderConstant(const irr::c8* name, const bool*, int) override { return accepts(name); }
    bool setPixelShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override {
        return keepInts(name, ints, count);
    }
    void setPixelShaderConstant(const irr::f32*, irr::s32, irr::s32) override {}
    irr::video::IVideoDriver* getVideoDriver() override { return driver; }

    bool has(const std::string& name) const { return floats.count(name) != 0 || ints.count(name) != 0; }
    const std::vector<irr::f32>& f(const std::string& name) { return floats[name]; }
    irr::f32 f1(const std::string& name) { return floats[name].empty() ? -12345.0f : floats[name][0]; }
    irr::s32 i1(const std::string& name) { return ints[name].empty() ? -12345 : ints[name][0]; }
    void clear() {
        floats.clear();
        ints.clear();
        vertexNames.clear();
        order.clear();
    }

    irr::video::IVideoDriver* driver;
    std::map<std::string, std::vector<irr::f32>> floats;
    std::map<std::string, std::vector<irr::s32>> ints;
    std::map<std::string, bool> vertexNames; // true for vertex constants
    std::vector<std::string> order;
    std::vector<std::string> refused; // names that "do not exist" in the program

private:
    bool accepts(const char* name) const {
        for (const std::string& r : refused)
            if (r == name)
                return false;
        return true;
    }
    bool keepFloats(const char* name, const irr::f32* values, int count, bool vertex) {
        order.push_back(name);
        if (!accepts(name))
            return false;
        floats[name].assign(values, values + count);
        vertexNames[name] = vertex;
        return true;
    }
    bool keepInts(const char* name, const irr::s32* values, int count) {
        order.push_back(name);
        if (!accepts(name))
            return false;
        ints[name].assign(values, values + count);
        return true;
    }
};

// Engine programming services that compile only from program texts: every other way to add
// a material is refused (-1). Tests derive and keep what addHighLevelShaderMaterial is handed.
class TextOnlyGpu : public irr::video::IGPUProgrammingServices {
public:
    irr::s32 addHighLevelShaderMaterialFromFiles(const irr::io::path&, const irr::c8*, irr::video::E_VERTEX_SHADER_TYPE,
                                                 const irr::io::path&, const irr::c8*, irr::video::E_PIXEL_SHADER_TYPE,
                                                 const irr::io::path&, const irr::c8*,
                                                 irr::video::E_GEOMETRY_SHADER_TYPE, irr::scene::E_PRIMITIVE_TYPE,
                                                 irr::scene::E_PRIMITIVE_TYPE, irr::u32,
                                                 irr::video::IShaderConstantSetCallBack*, irr::video::E_MATERIAL_TYPE,
                                                 irr::s32, irr::video::E_GPU_SHADING_LANGUAGE) override {
        return -1;
    }
    irr::s32 addHighLevelShaderMaterialFromFiles(irr::io::IReadFile*, const irr::c8*, irr::video::E_VERTEX_SHADER_TYPE,
                                                 irr::io::IReadFile*, const irr::c8*, irr::video::E_PIXEL_SHADER_TYPE,
                                                 irr::io::IReadFile*, const irr::c8*,
                                                 irr::video::E_GEOMETRY_SHADER_TYPE, irr::scene::E_PRIMITIVE_TYPE,
                                                 irr::scene::E_PRIMITIVE_TYPE, irr::u32,
                                                 irr::video::IShaderConstantSetCallBack*, irr::video::E_MATERIAL_TYPE,
                                                 irr::s32, irr::video::E_GPU_SHADING_LANGUAGE) override {
        return -1;
    }
    irr::s32 addShaderMaterial(const irr::c8*, const irr::c8*, irr::video::IShaderConstantSetCallBack*,
                               irr::video::E_MATERIAL_TYPE, irr::s32) override {
        return -1;
    }
    irr::s32 addShaderMaterialFromFiles(irr::io::IReadFile*, irr::io::IReadFile*, irr::video::IShaderConstantSetCallBack*,
                                        irr::video::E_MATERIAL_TYPE, irr::s32) override {
        return -1;
    }
    irr::s32 addShaderMaterialFromFiles(const irr::io::path&, const irr::io::path&,
                                        irr::video::IShaderConstantSetCallBack*, irr::video::E_MATERIAL_TYPE,
                                        irr::s32) override {
        return -1;
    }
};

} // namespace rendertest
