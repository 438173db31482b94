#include "font.h"

#include <GL/gl.h>

#include "die.h"
#include "itostr.h"
#include "luahelp.h"

static std::map<std::string, ref<font>> registered_fonts;

// Reads the glyph table on top of the stack into G, replacing it whole.
static void read_glyph(lua_State* L, font::glyph& G) {
    const double BearingX = luahelp_table_getnumber(L, "bearing_x", 0);
    const double BearingY = luahelp_table_getnumber(L, "bearing_y", 0);
    const double TexcoordX = luahelp_table_getnumber(L, "texcoord_x", 0);
    const double TexcoordY = luahelp_table_getnumber(L, "texcoord_y", 0);
    const double SizeX = luahelp_table_getnumber(L, "size_x", 0);
    const double SizeY = luahelp_table_getnumber(L, "size_y", 0);
    const double Advance = luahelp_table_getnumber(L, "advance", 0);
    G.bearing = mkrloc(BearingX, BearingY);
    G.texcoord = mkrloc(TexcoordX, TexcoordY);
    G.size = mkrloc(SizeX, SizeY);
    G.rendersize = G.size;
    G.advance = Advance;
}

void font::init(lua_State* L) {
    // Field reads on a non-table raise a script error, which outside a
    // protected call would end the process.
    if (!lua_istable(L, -1)) {
        log_line('*', "font init fatal: font description is not a table");
        return;
    }
    const std::string Texture = luahelp_table_getstring(L, "texture", "");
    face_t = texture_load(Texture, true);
    if (face_t.null()) {
        log_line('*', "font init fatal: couldn't load texture ``", Texture, "''");
        return;
    }
    pixel_size = luahelp_table_getnumber(L, "pixelsize", 0);
    for (int Ascii = 0; Ascii < 256; ++Ascii) {
        const std::string GlyphKey = "glyph_" + itostr(Ascii);
        lua_pushstring(L, GlyphKey.c_str());
        lua_gettable(L, -2);
        if (lua_istable(L, -1)) read_glyph(L, glyphs[Ascii]);
        lua_pop(L, 1);
    }
}

double font::get_advance(int Ascii) const {
    auto Found = glyphs.find(Ascii);
    if (Found == glyphs.end()) return 0;
    return Found->second.advance * pixel_size;
}

double font::get_length(const rpos& Scale, const std::string& Text) const {
    double Length = 0;
    for (const char C : Text) Length += get_advance(static_cast<unsigned char>(C)) * Scale[0];
    return Length;
}

void font::render_char_quad(const rpos& Center, const rpos& Scale, int Ascii, bool Italics) const {
    auto Found = glyphs.find(Ascii);
    if (Found == glyphs.end()) return;
    const glyph& G = Found->second;
    const double ps = pixel_size;

    const rloc Bearing = mkrloc(G.bearing[0] * Scale[0] * ps, G.bearing[1] * Scale[1] * ps);
    const rloc Size = mkrloc(G.rendersize[0] * Scale[0] * ps, G.rendersize[1] * Scale[1] * ps);
    const rloc Corner0 = mkrloc(Center[0] + Bearing[0], Center[1] + Size[1] - Bearing[1]);
    const rloc Corner1 = mkrloc(Center[0] + Bearing[0] + Size[0], Center[1] - Bearing[1]);
    const double ItalicsOffset = Italics ? (Corner1[1] - Corner0[1]) * 0.125 : 0;
    const rloc TexSize = G.size;
    const rloc TexCoord0 = G.texcoord;
    const rloc TexCoord1 = TexCoord0 + TexSize;

    glTexCoord2d(TexCoord0[0], TexCoord1[1]);
    glVertex3d(Corner0[0] + ItalicsOffset, Corner0[1], Center[2]);
    glTexCoord2d(TexCoord1[0], TexCoord1[1]);
    glVertex3d(Corner1[0] + ItalicsOffset, Corner0[1], Center[2]);
    glTexCoord2d(TexCoord1[0], TexCoord0[1]);
    glVertex3d(Corner1[0] - ItalicsOffset, Corner1[1], Center[2]);
    glTexCoord2d(TexCoord0[0], TexCoord0[1]);
    glVertex3d(Corner0[0] - ItalicsOffset, Corner1[1], Center[2]);
}

// Glyph quads go out in one textured batch with the sheet bound; the sheet
// stays bound afterwards and texturing is off again.
static void begin_glyphs(const texture& Sheet) {
    glBindTexture(GL_TEXTURE_2D, GLuint(Sheet.id));
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
}

static void end_glyphs() {
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void font::render_string(const rpos& Position, const rpos& Scale, const std::string& Text,
                         bool Italics) const {
    if (face_t.null()) return;
    begin_glyphs(*face_t.c_ptr());
    rpos Cursor = Position;
    for (const char C : Text) {
        const int Code = static_cast<unsigned char>(C);
        render_char_quad(Cursor, Scale, Code, Italics);
        Cursor[0] += get_advance(Code) * Scale[0];
    }
    end_glyphs();
}

void font::render_char(const rpos& Center, const rpos& Scale, int Ascii, bool Italics) const {
    if (face_t.null()) return;
    begin_glyphs(*face_t.c_ptr());
    render_char_quad(Center, Scale, Ascii, Italics);
    end_glyphs();
}

void font::clear() {
    glyphs.clear();
    face_t.clear();
}

void register_font(const std::string& Name, lua_State* L) {
    ref<font> F = mkref(new font);
    F->init(L);
    registered_fonts[Name] = F;
}

font* get_font(const std::string& Name) {
    auto Found = registered_fonts.find(Name);
    if (Found == registered_fonts.end()) return nullptr;
    return Found->second.ptr();
}
