#pragma once

#include <LinearMath/btTransform.h>

#include <memory>

// The closest points of two Bullet shapes placed in the world, through Bullet's own
// collision algorithms (so every pairing the simulation knows works, triangle meshes
// included). One tester per thread.

class btCollisionShape;
class btCollisionDispatcher;
class btDefaultCollisionConfiguration;

namespace phys::detail {

class ContactTester {
public:
    ContactTester();
    ~ContactTester();
    ContactTester(const ContactTester&) = delete;
    ContactTester& operator=(const ContactTester&) = delete;

    // The smallest signed distance between the shapes (negative when they overlap) when it
    // is at most maxDistance, with the unit normal pointing from b towards a. False when the
    // shapes are farther apart.
    bool closest(const btCollisionShape& a, const btTransform& poseA, const btCollisionShape& b,
                 const btTransform& poseB, float maxDistance, float& distance, btVector3& normal);

private:
    std::unique_ptr<btDefaultCollisionConfiguration> configuration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
};

} // namespace phys::detail
