#include "phys/detail/MassProperties.h"

#include "phys/Meshes.h"
#include "phys/RigidBody.h"
#include "phys/Shape.h"
#include "phys/detail/Backs.h"
#include "phys/detail/BulletConvert.h"

#include "phys/Foundation.h"
#include "phys/Physics.h"

#include <LinearMath/btMatrix3x3.h>

#include <cmath>

namespace phys::detail {

namespace {

// Per-axis sums used by the polyhedral integration.
void subexpressions(double w0, double w1, double w2, double& f1, double& f2, double& f3, double& g0, double& g1,
                    double& g2) {
    const double t0 = w0 + w1;
    f1 = t0 + w2;
    const double t1 = w0 * w0;
    const double t2 = t1 + w1 * t0;
    f2 = t2 + w2 * f1;
    f3 = w0 * t1 + w1 * t2 + w2 * f2;
    g0 = f2 + w0 * (f1 + w0);
    g1 = f2 + w1 * (f1 + w1);
    g2 = f2 + w2 * (f1 + w2);
}
} // namespace

MassProperties boxMassProperties(const Vec3& h) {
    MassProperties m;
    m.mass = 8.0f * h.x * h.y * h.z;
    m.inertia.diagonal = Vec3(h.y * h.y + h.z * h.z, h.x * h.x + h.z * h.z, h.x * h.x + h.y * h.y) * (m.mass / 3.0f);
    return m;
}

MassProperties sphereMassProperties(float r) {
    MassProperties m;
    m.mass = 4.0f / 3.0f * Pi * r * r * r;
    m.inertia.diagonal = Vec3(0.4f * m.mass * r * r);
    return m;
}

MassProperties capsuleMassProperties(float r, float h) {
    const float cylinder = Pi * r * r * 2.0f * h;
    const float spheres = 4.0f / 3.0f * Pi * r * r * r;
    MassProperties m;
    m.mass = cylinder + spheres;
    const float axial = cylinder * r * r * 0.5f + spheres * 0.4f * r * r;
    const float across = cylinder * (r * r * 0.25f + h * h / 3.0f) + spheres * (0.4f * r * r + h * h + 0.75f * h * r);
    m.inertia.diagonal = Vec3(axial, across, across);
    return m;
}

MassProperties polyhedronMassProperties(const std::vector<Vec3>& v, const std::vector<uint32_t>& tris) {
    double in[10] = {};
    for (size_t t = 0; t + 2 < tris.size(); t += 3) {
        const Vec3& p0 = v[tris[t]];
        const Vec3& p1 = v[tris[t + 1]];
        const Vec3& p2 = v[tris[t + 2]];
        const double a1 = p1.x - p0.x, b1 = p1.y - p0.y, c1 = p1.z - p0.z;
        const double a2 = p2.x - p0.x, b2 = p2.y - p0.y, c2 = p2.z - p0.z;
        const double d0 = b1 * c2 - b2 * c1, d1 = a2 * c1 - a1 * c2, d2 = a1 * b2 - a2 * b1;
        double f1x, f2x, f3x, g0x, g1x, g2x;
        double f1y, f2y, f3y, g0y, g1y, g2y;
        double f1z, f2z, f3z, g0z, g1z, g2z;
        subexpressions(p0.x, p1.x, p2.x, f1x, f2x, f3x, g0x, g1x, g2x);
        subexpressions(p0.y, p1.y, p2.y, f1y, f2y, f3y, g0y, g1y, g2y);
        subexpressions(p0.z, p1.z, p2.z, f1z, f2z, f3z, g0z, g1z, g2z);
        in[0] += d0 * f1x;
        in[1] += d0 * f2x;
        in[2] += d1 * f2y;
        in[3] += d2 * f2z;
        in[4] += d0 * f3x;
        in[5] += d1 * f3y;
        in[6] += d2 * f3z;
        in[7] += d0 * (p0.y * g0x + p1.y * g1x + p2.y * g2x);
        in[8] += d1 * (p0.z * g0y + p1.z * g1y + p2.z * g2y);
        in[9] += d2 * (p0.x * g0z + p1.x * g1z + p2.x * g2z);
    }
    static const double scale[10] = {1.0 / 6,  1.0 / 24, 1.0 / 24, 1.0 / 24,  1.0 / 60,
                                     1.0 / 60, 1.0 / 60, 1.0 / 120, 1.0 / 120, 1.0 / 120};
    for (int i = 0; i < 10; ++i)
        in[i] *= scale[i];
    // Inward winding gives negative integrals throughout.
    if (in[0] < 0.0)
        for (double& x : in)
            x = -x;

    MassProperties m;
    const double mass = in[0];
    if (mass <= 0.0)
        return m;
    const double cx = in[1] / mass, cy = in[2] / mass, cz = in[3] / mass;
    m.mass = static_cast<float>(mass);
    m.centerOfMass = Vec3(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(cz));
    m.inertia.diagonal = Vec3(static_cast<float>(in[5] + in[6] - mass * (cy * cy + cz * cz)),
                              static_cast<float>(in[4] + in[6] - mass * (cz * cz + cx * cx)),
                              static_cast<float>(in[4] + in[5] - mass * (cx * cx + cy * cy)));
    m.inertia.products = Vec3(static_cast<float>(-(in[7] - mass * cx * cy)),
                              static_cast<float>(-(in[9] - mass * cz * cx)),
                              static_cast<float>(-(in[8] - mass * cy * cz)));
    return m;
}

namespace {
btMatrix3x3 toMatrix(const InertiaTensor& t) {
    return btMatrix3x3(t.diagonal.x, t.products.x, t.products.y, t.products.x, t.diagonal.y, t.products.z,
                       t.products.y, t.products.z, t.diagonal.z);
}
InertiaTensor fromMatrix(const btMatrix3x3& m) {
    return {Vec3(m[0][0], m[1][1], m[2][2]), Vec3(m[0][1], m[0][2], m[1][2])};
}
} // namespace

InertiaTensor rotateInertia(const InertiaTensor& inertia, const Quat& rotation) {
    const btMatrix3x3 r(toBt(rotation));
    return fromMatrix(r * toMatrix(inertia) * r.transpose());
}

InertiaTensor shiftInertia(const InertiaTensor& t, float mass, const Vec3& d) {
    InertiaTensor out = t;
    out.diagonal += Vec3(d.y * d.y + d.z * d.z, d.x * d.x + d.z * d.z, d.x * d.x + d.y * d.y) * mass;
    out.products -= Vec3(d.x * d.y, d.x * d.z, d.y * d.z) * mass;
    return out;
}

void diagonalizeInertia(const InertiaTensor& inertia, Vec3& principal, Quat& axes) {
    btMatrix3x3 m = toMatrix(inertia);
    btMatrix3x3 rot = btMatrix3x3::getIdentity();
    m.diagonalize(rot, 1e-9f, 32);
    principal = Vec3(m[0][0], m[1][1], m[2][2]);
    btQuaternion q;
    rot.getRotation(q);
    axes = fromBt(q).getNormalized();
}

namespace {
// Unit-density mass properties of one shape, in the actor frame.
bool shapeMassProperties(const Shape& shape, MassProperties& out) {
    const GeometryHolder& g = shape.getGeometry();
    MassProperties local;
    switch (g.getType()) {
    case GeometryType::Box: local = boxMassProperties(g.box().halfExtents); break;
    case GeometryType::Sphere: local = sphereMassProperties(g.sphere().radius); break;
    case GeometryType::Capsule: local = capsuleMassProperties(g.capsule().radius, g.capsule().halfHeight); break;
    case GeometryType::ConvexMesh: {
        const CookedConvex& c = g.convexMesh().convexMesh->data().cooked;
        local.mass = c.volume;
        local.centerOfMass = c.centerOfMass;
        local.inertia = {c.inertiaDiagonal, c.inertiaProducts};
        break;
    }
    default: return false;
    }
    if (local.mass <= 0.0f)
        return false;
    const Transform pose = shape.getLocalPose();
    out.mass = local.mass;
    out.centerOfMass = pose.transform(local.centerOfMass);
    out.inertia = rotateInertia(local.inertia, pose.q);
    return true;
}

// Computes mass properties from the shapes; mass comes either fixed or from a density.
bool applyMassProperties(RigidBody& body, bool fixedMass, float value, const Vec3* massLocalPose) {
    Foundation& foundation = body.getPhysics().getFoundation();
    if (!std::isfinite(value) || value <= 0.0f) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "mass update: %s must be positive and finite",
                    fixedMass ? "mass" : "density");
        return false;
    }
    if (massLocalPose && !massLocalPose->isFinite()) {
        PHYS_REPORT(foundation, ErrorCode::InvalidParameter, "mass update: mass local pose is not finite");
        return false;
    }

    std::vector<MassProperties> parts;
    float volume = 0.0f;
    Vec3 weighted;
    for (uint32_t i = 0; i < body.getNbShapes(); ++i) {
        Shape* shape = nullptr;
        body.getShapes(&shape, 1, i);
        MassProperties p;
        if (shape && shapeMassProperties(*shape, p)) {
            parts.push_back(p);
            volume += p.mass;
            weighted += p.centerOfMass * p.mass;
        }
    }

    if (volume <= 0.0f) {
        // No volume: a unit-sized body at the actor origin (or the given point).
        const float mass = value;
        body.setMass(mass);
        body.setMassSpaceInertiaTensor(Vec3(mass));
        body.setCMassLocalPose(Transform(massLocalPose ? *massLocalPose : Vec3()));
        return true;
    }

    const Vec3 center = massLocalPose ? *massLocalPose : weighted / volume;
    InertiaTensor total;
    for (const MassProperties& p : parts)
        total = total + shiftInertia(p.inertia, p.mass, p.centerOfMass - center);

    const float density = fixedMass ? value / volume : value;
    const float mass = fixedMass ? value : volume * density;
    Vec3 principal;
    Quat axes;
    diagonalizeInertia(total * density, principal, axes);
    body.setMass(mass);
    body.setMassSpaceInertiaTensor(principal);
    body.setCMassLocalPose(Transform(center, axes));
    return true;
}
} // namespace

} // namespace phys::detail

namespace phys {

bool setMassAndUpdateInertia(RigidBody& body, float mass, const Vec3* massLocalPose) {
    return detail::applyMassProperties(body, true, mass, massLocalPose);
}

bool updateMassAndInertia(RigidBody& body, float density, const Vec3* massLocalPose) {
    return detail::applyMassProperties(body, false, density, massLocalPose);
}

void addForceAtPos(RigidBody& body, const Vec3& force, const Vec3& pos, ForceMode mode, bool autowake) {
    const Vec3 com = body.getGlobalPose().transform(body.getCMassLocalPose().p);
    body.addForce(force, mode, autowake);
    body.addTorque((pos - com).cross(force), mode, autowake);
}

} // namespace phys
