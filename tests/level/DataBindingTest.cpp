#include "level/DataBinding.h"

#include "level/LevelHooks.h"
#include "support/NullDevice.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

using namespace irr;

namespace {

// A scene node that reports the type of a 3D text object.
class FakeTextNode : public scene::ISceneNode {
public:
    FakeTextNode(scene::ISceneNode* parent, scene::ISceneManager* manager, scene::ESCENE_NODE_TYPE type)
        : scene::ISceneNode(parent, manager, -1), type(type) {}
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return box; }
    scene::ESCENE_NODE_TYPE getType() const override { return type; }

private:
    scene::ESCENE_NODE_TYPE type;
    core::aabbox3df box;
};

TEST(DataBindingTest, BoundTextReachesATextObjectThroughItsMeshRebuild) {
    test::NullDevice device;
    scene::ISceneManager* scene = device->getSceneManager();
    auto* text = new FakeTextNode(scene->getRootSceneNode(), scene,
                                  static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('t', 'e', 'x', 't')));
    auto* other = new FakeTextNode(scene->getRootSceneNode(), scene,
                                   static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('v', 'b', 'l', 'e')));
    text->drop();
    other->drop();

    EXPECT_FALSE(applyBoundValue(text, "Text", L"12")); // no text rendering yet
    std::wstring rebuilt;
    levelHooks().render.rebuildTextMesh = [&](scene::ISceneNode* node, const wchar_t* value) {
        EXPECT_EQ(node, text);
        rebuilt = value;
    };
    EXPECT_TRUE(applyBoundValue(text, "Text", L"12 / 40"));
    EXPECT_EQ(rebuilt, L"12 / 40");
    EXPECT_FALSE(applyBoundValue(text, "Color", L"red"));
    EXPECT_FALSE(applyBoundValue(other, "Text", L"x"));
    EXPECT_FALSE(applyBoundValue(nullptr, "Text", L"x"));
    EXPECT_EQ(rebuilt, L"12 / 40");
    resetLevelHooks();
}

} // namespace
