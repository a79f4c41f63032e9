#include "render/PlanarMirror.h"

using namespace irr;

core::plane3df unitPlane(core::plane3df plane) {
    const f32 length = plane.Normal.getLength();
    if (length != 0.0f) {
        plane.Normal /= length;
        plane.D /= length;
    }
    return plane;
}

core::matrix4 obliqueProjection(const core::matrix4& projection, const core::plane3df& viewPlane) {
    core::matrix4 inverse;
    if (!projection.getInverse(inverse))
        return projection;
    const f32 plane[4] = {viewPlane.Normal.X, viewPlane.Normal.Y, viewPlane.Normal.Z, viewPlane.D};
    const f32 corner[4] = {plane[0] > 0.0f ? 1.0f : (plane[0] < 0.0f ? -1.0f : 0.0f),
                           plane[1] > 0.0f ? 1.0f : (plane[1] < 0.0f ? -1.0f : 0.0f), 1.0f, 1.0f};
    double q[4];
    for (s32 j = 0; j < 4; ++j) {
        q[j] = 0.0;
        for (s32 i = 0; i < 4; ++i)
            q[j] += static_cast<double>(corner[i]) * inverse(i, j);
    }
    double along = 0.0;
    for (s32 i = 0; i < 4; ++i)
        along += plane[i] * q[i];
    if (along <= 0.0)
        return projection;
    core::matrix4 result = projection;
    const double scale = 2.0 / along;
    for (s32 i = 0; i < 4; ++i)
        result(i, 2) = static_cast<f32>(plane[i] * scale - projection(i, 3));
    return result;
}


core::plane3df clipSpacePlane(const core::plane3df& viewPlane, const core::matrix4& projection) {
    core::matrix4 inverse;
    if (!projection.getInverse(inverse))
        inverse.makeIdentity();
    const double in[4] = {viewPlane.Normal.X, viewPlane.Normal.Y, viewPlane.Normal.Z, viewPlane.D};
    f32 result[4];
    for (s32 i = 0; i < 4; ++i) {
        double sum = 0.0;
        for (s32 j = 0; j < 4; ++j)
            sum += in[j] * static_cast<double>(inverse(i, j));
        result[i] = static_cast<f32>(sum);
    }
    core::plane3df out;
    out.Normal.set(result[0], result[1], result[2]);
    out.D = result[3];
    return out;
}
