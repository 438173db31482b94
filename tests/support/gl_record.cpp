#include "gl_record.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <unistd.h>

#include <cstdio>
#include <initializer_list>

std::vector<gl_call> gl_calls;
bool gl_record_enabled = true;
static GLuint next_texture_name = 1;

void gl_record_reset() {
    gl_calls.clear();
    next_texture_name = 1;
}

void gl_record_note(const std::string& Name, const std::string& Text) {
    gl_call Call;
    Call.name = Name;
    Call.text = Text;
    Call.stdout_bytes = lseek(STDOUT_FILENO, 0, SEEK_CUR);
    gl_calls.push_back(Call);
}

std::vector<std::string> gl_call_texts() {
    std::vector<std::string> Texts;
    for (const gl_call& C : gl_calls) Texts.push_back(C.text);
    return Texts;
}

std::vector<gl_call> gl_calls_named(const std::string& Name) {
    std::vector<gl_call> Found;
    for (const gl_call& C : gl_calls)
        if (C.name == Name) Found.push_back(C);
    return Found;
}

namespace {

// One argument and how to print it: 'e' an enum or bit mask (hex), 'i' an
// integer, 'f' a floating-point value.
struct arg {
    char kind;
    double value;
};

arg E(GLenum V) { return {'e', double(V)}; }
arg I(long V) { return {'i', double(V)}; }
arg D(double V) { return {'f', V}; }

gl_call& record(const char* Name, std::initializer_list<arg> Args) {
    gl_call Call;
    Call.name = Name;
    Call.text = std::string(Name) + "(";
    bool First = true;
    for (const arg& A : Args) {
        char Buf[64];
        if (A.kind == 'e')
            std::snprintf(Buf, sizeof Buf, "0x%04X", unsigned(A.value));
        else if (A.kind == 'i')
            std::snprintf(Buf, sizeof Buf, "%ld", long(A.value));
        else
            std::snprintf(Buf, sizeof Buf, "%g", A.value);
        if (!First) Call.text += ",";
        Call.text += Buf;
        First = false;
        Call.args.push_back(A.value);
    }
    Call.text += ")";
    Call.stdout_bytes = lseek(STDOUT_FILENO, 0, SEEK_CUR);
    gl_calls.push_back(Call);
    return gl_calls.back();
}

int components_of(GLenum Format) {
    switch (Format) {
        case GL_ALPHA: case GL_LUMINANCE: case GL_RED: return 1;
        case GL_LUMINANCE_ALPHA: return 2;
        case GL_RGB: case GL_BGR: return 3;
        default: return 4;
    }
}

}  // namespace

#define REC(...) \
    if (gl_record_enabled) record(__VA_ARGS__)

extern "C" {

void glLightModeli(GLenum pname, GLint param) { REC("glLightModeli", {E(pname), I(param)}); }
void glBlendFunc(GLenum s, GLenum d) { REC("glBlendFunc", {E(s), E(d)}); }
void glEnable(GLenum cap) { REC("glEnable", {E(cap)}); }
void glDisable(GLenum cap) { REC("glDisable", {E(cap)}); }
void glMatrixMode(GLenum mode) { REC("glMatrixMode", {E(mode)}); }
void glLoadIdentity(void) { REC("glLoadIdentity", {}); }
void glDepthFunc(GLenum func) { REC("glDepthFunc", {E(func)}); }
void glShadeModel(GLenum mode) { REC("glShadeModel", {E(mode)}); }
void glAlphaFunc(GLenum func, GLclampf r) { REC("glAlphaFunc", {E(func), D(r)}); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { REC("glViewport", {I(x), I(y), I(w), I(h)}); }
void glGenTextures(GLsizei n, GLuint* textures) {
    for (GLsizei i = 0; i < n; ++i) textures[i] = next_texture_name++;
    REC("glGenTextures", {I(n), I(n > 0 ? textures[0] : 0)});
}
void glDeleteTextures(GLsizei n, const GLuint* textures) { REC("glDeleteTextures", {I(n), I(n > 0 ? textures[0] : 0)}); }
void glBindTexture(GLenum target, GLuint tex) { REC("glBindTexture", {E(target), I(tex)}); }
void glPixelStorei(GLenum pname, GLint param) { REC("glPixelStorei", {E(pname), I(param)}); }
void glTexEnvi(GLenum target, GLenum pname, GLint param) {
    REC("glTexEnvi", {E(target), E(pname), E(GLenum(param))});
}
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    REC("glTexParameteri", {E(target), E(pname), E(GLenum(param))});
}
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    if (!gl_record_enabled) return;
    gl_call& C = record("glTexImage2D", {E(target), I(level), E(GLenum(internalformat)), I(width),
                                         I(height), I(border), E(format), E(type)});
    if (pixels && width > 0 && height > 0) {
        const unsigned char* P = static_cast<const unsigned char*>(pixels);
        C.data.assign(P, P + size_t(width) * size_t(height) * components_of(format));
    }
}
void glBegin(GLenum mode) { REC("glBegin", {E(mode)}); }
void glEnd(void) { REC("glEnd", {}); }
void glTexCoord2d(GLdouble s, GLdouble t) { REC("glTexCoord2d", {D(s), D(t)}); }
void glVertex3d(GLdouble x, GLdouble y, GLdouble z) { REC("glVertex3d", {D(x), D(y), D(z)}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { REC("glVertex3f", {D(x), D(y), D(z)}); }
void glVertex3dv(const GLdouble* v) { REC("glVertex3dv", {D(v[0]), D(v[1]), D(v[2])}); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { REC("glNormal3f", {D(x), D(y), D(z)}); }
void glColor4d(GLdouble r, GLdouble g, GLdouble b, GLdouble a) { REC("glColor4d", {D(r), D(g), D(b), D(a)}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { REC("glColor4f", {D(r), D(g), D(b), D(a)}); }
void glColor4fv(const GLfloat* v) { REC("glColor4fv", {D(v[0]), D(v[1]), D(v[2]), D(v[3])}); }
void glPushMatrix(void) { REC("glPushMatrix", {}); }
void glPopMatrix(void) { REC("glPopMatrix", {}); }
void glTranslated(GLdouble x, GLdouble y, GLdouble z) { REC("glTranslated", {D(x), D(y), D(z)}); }
void glScaled(GLdouble x, GLdouble y, GLdouble z) { REC("glScaled", {D(x), D(y), D(z)}); }
void glRotated(GLdouble a, GLdouble x, GLdouble y, GLdouble z) { REC("glRotated", {D(a), D(x), D(y), D(z)}); }
void glLineWidth(GLfloat w) { REC("glLineWidth", {D(w)}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { REC("glClearColor", {D(r), D(g), D(b), D(a)}); }
void glClear(GLbitfield mask) { REC("glClear", {E(mask)}); }
void glFinish(void) { REC("glFinish", {}); }

void gluOrtho2D(GLdouble l, GLdouble r, GLdouble b, GLdouble t) { REC("gluOrtho2D", {D(l), D(r), D(b), D(t)}); }
void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz, GLdouble ux,
               GLdouble uy, GLdouble uz) {
    REC("gluLookAt", {D(ex), D(ey), D(ez), D(cx), D(cy), D(cz), D(ux), D(uy), D(uz)});
}

}  // extern "C"
