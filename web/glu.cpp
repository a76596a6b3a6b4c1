// GLU's perspective and look-at, as OpenGL defines them: each multiplies the current matrix. The GL
// emulation's own replace it, and its look-at takes its arguments out of order.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double f = 1.0 / std::tan(fovy * M_PI / 360.0), depth = zNear - zFar;
    if (aspect == 0.0 || depth == 0.0)
        return;
    // One column of the matrix a line.
    // clang-format off
    const GLfloat m[16] = {float(f / aspect), 0, 0, 0,
                           0, float(f), 0, 0,
                           0, 0, float((zFar + zNear) / depth), -1,
                           0, 0, float(2.0 * zFar * zNear / depth), 0};
    // clang-format on
    glMultMatrixf(m);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    double f[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (fl == 0.0)
        return;
    for (double& c : f)
        c /= fl;
    // side = f x up, normalised; then the true up = side x f
    double s[3] = {f[1] * upZ - f[2] * upY, f[2] * upX - f[0] * upZ, f[0] * upY - f[1] * upX};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (sl == 0.0)
        return;
    for (double& c : s)
        c /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    // One column of the matrix a line.
    // clang-format off
    const GLfloat m[16] = {float(s[0]), float(u[0]), float(-f[0]), 0,
                           float(s[1]), float(u[1]), float(-f[1]), 0,
                           float(s[2]), float(u[2]), float(-f[2]), 0,
                           0, 0, 0, 1};
    // clang-format on
    glMultMatrixf(m);
    glTranslatef(float(-eyeX), float(-eyeY), float(-eyeZ));
}
