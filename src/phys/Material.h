#pragma once

// Surface material of a shape. Values are fixed at creation; pairs combine the two shapes'
// coefficients by their average. Bullet has one friction coefficient: contacts use the
// dynamic friction.

namespace phys {

class Physics;

class Material {
public:
    float getStaticFriction() const { return staticFriction; }
    float getDynamicFriction() const { return dynamicFriction; }
    float getRestitution() const { return restitution; }

private:
    friend class Physics;
    Material(float staticFriction_, float dynamicFriction_, float restitution_)
        : staticFriction(staticFriction_), dynamicFriction(dynamicFriction_), restitution(restitution_) {}

    float staticFriction;
    float dynamicFriction;
    float restitution;
};

} // namespace phys
