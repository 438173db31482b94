#include "game.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "die.h"
#include "filehelp.h"
#include "image.h"
#include "itostr.h"
#include "main.h"
#include "sdlkeynames.h"
#include "texture.h"

ref<font> cur_font;
std::vector<fcolor> palette;
rngen RN;

namespace {

const double pi = 3.141592653589793;

// Past this many levels a render list is not walked deeper.
const size_t max_render_depth = 200;
// The most vertices, dashes or bands one drawing command may emit, and the
// most entries a sub-rectangle read may build: beyond these a script number
// would stall the frame or exhaust memory.
const double max_draw_steps = 1000000;
const int64_t max_subrect_entries = 4 * 1024 * 1024;
const int max_palette_id = 65535;

// ---------------------------------------------------------------------------
// Script values and errors

// Script numbers read as integers: truncated toward zero, saturated at the
// ends of the int range, NaN as 0.
int arg_int(lua_State* L, int Index) { return cut_to_int(lua_tonumberx(L, Index, nullptr)); }

// The host and the script state. The interpreter is C, so a script error
// long-jumps, and any allocation in the state may run a script's finalizer,
// which may raise. Every host step that can raise therefore runs inside a
// protected call, in functions that hold nothing with a destructor while
// they call the interpreter. Outside protected calls the host only pushes
// what allocates nothing (light C functions, light userdata, numbers),
// calls, reads and pops.

// A script may raise any value. Its text is read without allocating: a
// string in place, a number formatted as the interpreter would, anything
// else described by its type.
const char* error_text(lua_State* L, int Index, char (&Buf)[64]) {
    switch (lua_type(L, Index)) {
        case LUA_TSTRING: return lua_tostring(L, Index);
        case LUA_TNUMBER:
            std::snprintf(Buf, sizeof Buf, LUA_NUMBER_FMT, lua_tonumberx(L, Index, nullptr));
            return Buf;
    }
    std::snprintf(Buf, sizeof Buf, "(error object is a %s value)", luaL_typename(L, Index));
    return Buf;
}

// The two warning lines of a failed step: the pieces, then the error on top
// of the stack, which is popped.
template <typename... Pieces>
void log_script_error(lua_State* L, const Pieces&... Parts) {
    char Buf[64];
    const char* Message = error_text(L, -1, Buf);
    log_line('!', Parts...);
    log_line('!', "--- ", Message);
    lua_pop(L, 1);
}

void push_global_table(lua_State* L) { lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS); }

// Pushes the globals table, then its "LIB" (ordinary access).
void push_lib(lua_State* L) {
    push_global_table(L);
    lua_pushliteral(L, "LIB");
    lua_gettable(L, -2);
}

// Pushes the global named by the light userdata at 1. Ordinary access, so a
// metatable on the globals takes part.
int protected_get_global(lua_State* L) {
    const char* Name = static_cast<const char*>(lua_touserdata(L, 1));
    push_global_table(L);
    lua_pushstring(L, Name);
    lua_gettable(L, -2);
    return 1;
}

// Pushes the global Name, or logs the failure and pushes nothing.
bool get_global(lua_State* L, const char* Name, const char* Operation) {
    lua_pushcfunction(L, protected_get_global);
    lua_pushlightuserdata(L, const_cast<char*>(Name));
    if (lua_pcall(L, 1, 1, 0) == LUA_OK) return true;
    log_script_error(L, Operation, ": couldn't read the global ", Name);
    return false;
}

// Pushes the handler Name; a missing one is logged with Missing.
bool get_handler(lua_State* L, const char* Name, const char* Operation, const char* Missing) {
    if (!get_global(L, Name, Operation)) return false;
    if (!lua_isnil(L, -1)) return true;
    log_line('*', Missing);
    lua_pop(L, 1);
    return false;
}

// Calls the function at 1 with the text the light userdata at 2 points to,
// pushed here so that its allocation is protected too.
int protected_call_with_text(lua_State* L) {
    const char* Text = static_cast<const char*>(lua_touserdata(L, 2));
    lua_settop(L, 1);
    lua_pushstring(L, Text);
    lua_call(L, 1, 0);
    return 0;
}

// Sets "keys_down" to a new table of the held keys' names, each true.
int protected_publish_keys(lua_State* L) {
    int NumKeys = 0;
    const Uint8* Keys = SDL_GetKeyboardState(&NumKeys);
    push_global_table(L);
    lua_pushliteral(L, "keys_down");
    lua_newtable(L);
    for (const auto& Key : sdl_scancode_key_names)
        if (Keys && Key.first >= 0 && Key.first < NumKeys && Keys[Key.first]) {
            lua_pushboolean(L, 1);
            lua_setfield(L, -2, Key.second.c_str());
        }
    lua_settable(L, -3);
    return 0;
}

const char* const glyph_fields[] = {"bearing_x", "bearing_y", "texcoord_x", "texcoord_y",
                                    "size_x",    "size_y",    "advance"};

// Copies the field Name of the table at From into the table on top.
void copy_field(lua_State* L, int From, const char* Name) {
    lua_getfield(L, From, Name);
    lua_setfield(L, -2, Name);
}

// Gives a plain copy of the font table at 1, holding just the fields a font
// reads. The reads are ordinary, so the table's metatable answers them as
// it would the font's own; the font is then built from the copy, which
// can't run script code.
int protected_copy_font(lua_State* L) {
    lua_createtable(L, 0, 2 + 256);
    copy_field(L, 1, "texture");
    copy_field(L, 1, "pixelsize");
    for (int Ascii = 0; Ascii < 256; ++Ascii) {
        lua_pushfstring(L, "glyph_%d", Ascii);
        lua_pushvalue(L, 3);
        lua_gettable(L, 1);
        if (lua_istable(L, 4)) {
            lua_pushvalue(L, 3);
            lua_createtable(L, 0, 7);
            for (const char* Field : glyph_fields) copy_field(L, 4, Field);
            lua_settable(L, 2);
        }
        lua_settop(L, 2);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Command words

enum word {
    W_UNKNOWN, W_NONE, W_CAMERA, W_RGBA, W_PICTURE, W_TRANSLATE, W_SCALE, W_ROTATE, W_LINE,
    W_DASHLINE, W_RECT, W_QUAD, W_TRI, W_CIRCARC, W_ZOFFS, W_TERRAIN, W_TEXT, W_RIGHTTEXT,
    W_CENTERTEXT
};

int is_word(const char* S, size_t N, const char* Word, int Id) {
    return std::memcmp(S, Word, N) == 0 ? Id : W_UNKNOWN;
}

// Picks the one candidate by length and first letter, then compares it whole.
int word_id(const char* S, size_t N) {
    switch (N) {
        case 3: return is_word(S, N, "tri", W_TRI);
        case 4:
            switch (S[0]) {
                case 'n': return is_word(S, N, "none", W_NONE);
                case 'r': return S[1] == 'g' ? is_word(S, N, "rgba", W_RGBA) : is_word(S, N, "rect", W_RECT);
                case 'l': return is_word(S, N, "line", W_LINE);
                case 'q': return is_word(S, N, "quad", W_QUAD);
                case 't': return is_word(S, N, "text", W_TEXT);
            }
            return W_UNKNOWN;
        case 5:
            switch (S[0]) {
                case 's': return is_word(S, N, "scale", W_SCALE);
                case 'z': return is_word(S, N, "zoffs", W_ZOFFS);
            }
            return W_UNKNOWN;
        case 6:
            switch (S[0]) {
                case 'c': return is_word(S, N, "camera", W_CAMERA);
                case 'r': return is_word(S, N, "rotate", W_ROTATE);
            }
            return W_UNKNOWN;
        case 7:
            switch (S[0]) {
                case 'p': return is_word(S, N, "picture", W_PICTURE);
                case 'c': return is_word(S, N, "circarc", W_CIRCARC);
                case 't': return is_word(S, N, "terrain", W_TERRAIN);
            }
            return W_UNKNOWN;
        case 8: return is_word(S, N, "dashline", W_DASHLINE);
        case 9:
            switch (S[0]) {
                case 't': return is_word(S, N, "translate", W_TRANSLATE);
                case 'r': return is_word(S, N, "righttext", W_RIGHTTEXT);
            }
            return W_UNKNOWN;
        case 10: return is_word(S, N, "centertext", W_CENTERTEXT);
    }
    return W_UNKNOWN;
}

// ---------------------------------------------------------------------------
// Drawing words

void draw_line(double X0, double Y0, double X1, double Y1, double W) {
    glLineWidth(float(W));
    glBegin(GL_LINES);
    glVertex3f(float(X0), float(Y0), 0);
    glVertex3f(float(X1), float(Y1), 0);
    glEnd();
}

void draw_rect(double X, double Y, double W, double H) {
    glBegin(GL_QUADS);
    glVertex3f(float(X - W), float(Y - H), 0);
    glVertex3f(float(X + W), float(Y - H), 0);
    glVertex3f(float(X + W), float(Y + H), 0);
    glVertex3f(float(X - W), float(Y + H), 0);
    glEnd();
}

void draw_quad(const double* A) {
    glBegin(GL_QUADS);
    for (int i = 0; i < 8; i += 2) glVertex3f(float(A[i]), float(A[i + 1]), 0);
    glEnd();
}

void draw_tri(const double* A) {
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 6; i += 2) glVertex3f(float(A[i]), float(A[i + 1]), 0);
    glEnd();
}

void draw_circarc(double X, double Y, double R, double StartTheta, double EndTheta, double W) {
    double ThetaRange = EndTheta - StartTheta;
    double Segs = ((R * pi) * 2.0) * (ThetaRange / pi) / 50.0;
    if (Segs > max_draw_steps) {
        log_line('*', "game render command fatal: circarc of ", cut_to_int(Segs), " segments is too long; skipping");
        return;
    }
    int NumSegs = cut_to_int(Segs);
    double SegTheta = NumSegs != 0 ? ThetaRange / NumSegs : 0.0;
    glLineWidth(float(W));
    glBegin(GL_LINE_STRIP);
    double Theta = StartTheta;
    for (int i = 0; i <= NumSegs; ++i) {
        double Sin, Cos;
        sincos(Theta, &Sin, &Cos);
        glVertex3f(float(X + R * Cos), float(Y + R * Sin), 0);
        Theta += SegTheta;
    }
    glEnd();
}

// With a dash plus gap of 0 or less a line with length would never end; it
// keeps its framing but gets no dash. A sum that is not a number ends the
// loop after its first dash.
void draw_dashline(double X0, double Y0, double X1, double Y1, double W, double OnL, double OffL) {
    rpos CurPos = mkrpos(X0, Y0, 0);
    rpos PosDelta = mkrpos(X1 - X0, Y1 - Y0, 0);
    double LineLen = length(PosDelta);
    safe_normalize(PosDelta);
    const double Step = OnL + OffL;
    bool Dashes = true;
    if (LineLen > 0 && Step <= 0) {
        log_line('!', "game render command warning: dashline with no positive dash plus gap has no dashes");
        Dashes = false;
    } else if (LineLen > 0 && LineLen / Step > max_draw_steps) {
        log_line('*', "game render command fatal: dashline of ", cut_to_int(LineLen / Step),
                 " dashes is too long; skipping");
        Dashes = false;
    }
    glLineWidth(float(W));
    glBegin(GL_LINES);
    while (Dashes && LineLen > 0) {
        rpos DashEnd = CurPos + PosDelta * OnL;
        glVertex3dv(CurPos.components);
        glVertex3dv(DashEnd.components);
        CurPos += PosDelta * Step;
        LineLen -= Step;
    }
    glEnd();
}

void draw_picture(int Handle) {
    ref<texture> T = texture_get(Handle);
    if (T.null()) return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, T->id);
    rpos C0 = T->size_in_pixels * -0.5;
    rpos C1 = C0 * -1.0;
    glBegin(GL_QUADS);
    glNormal3f(0, 0, -1.0f);
    glTexCoord2d(0, 0);
    glVertex3d(C0[0], C0[1], 0);
    glTexCoord2d(1, 0);
    glVertex3d(C1[0], C0[1], 0);
    glTexCoord2d(1, 1);
    glVertex3d(C1[0], C1[1], 0);
    glTexCoord2d(0, 1);
    glVertex3d(C0[0], C1[1], 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

// Align: 0 starts the text at X, 1 ends it there, 0.5 centres it on X.
void draw_text(const ref<font>& F, double X, double Y, double W, const char* Chars, double Align) {
    const font* Font = F.c_ptr();
    if (!Font) return;
    const std::string Text = Chars;
    const rpos Scale = mkrpos(W, W, 1.0);
    const double Shift = Align == 0 ? 0 : Font->get_length(Scale, Text) * Align;
    Font->render_string(mkrpos(X - Shift, Y, 0), Scale, Text, false);
}

void draw_terrain(double Y, double W, double H, const char* SwatchName, int Seed) {
    rngen G;
    G.seed(static_cast<unsigned long>(static_cast<long>(Seed)));
    ref<image> I = image_load(SwatchName);
    if (I.null()) return;
    if (I->pixels.empty() || I->size[0] <= 0 || I->size[1] <= 0) {
        log_line('!', "game render command warning: terrain image ``", SwatchName, "'' has no pixels; skipping");
        return;
    }
    // Every band is at least 10 high.
    if (H / 10.0 > max_draw_steps) {
        log_line('*', "game render command fatal: terrain of height ", cut_to_int(H), " is too long; skipping");
        return;
    }
    glBegin(GL_QUADS);
    double CurY = Y;
    while (CurY < Y + H) {
        double NextY = G.get() * 25.0 + CurY + 10.0;
        // Far from 0 a band of 10 no longer moves the edge.
        if (!(NextY > CurY)) {
            log_line('*', "game render command fatal: terrain at y ", cut_to_int(CurY), " can't advance; stopping");
            break;
        }
        fcolor SwatchC = I->get_any_pixel(G);
        glColor4fv(SwatchC.components);
        glVertex3f(float(-W), float(CurY), 0);
        glVertex3f(float(-W), float(NextY), 0);
        glVertex3f(float(W), float(NextY), 0);
        glVertex3f(float(W), float(CurY), 0);
        CurY = NextY;
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// ---------------------------------------------------------------------------
// Script function helpers. The functions build script values, which may
// raise, so resources are looked up in helpers that give plain values back:
// the registries keep what they load for the life of the process.

// The image "data/" + Name + ".png", or null.
const image* script_image(const char* Name) {
    const ref<image> Image = image_load(std::string("data/") + Name + ".png");
    return Image.c_ptr();
}

// The handle of the texture "data/" + Name + ".png", or -1.
int script_texture_handle(const char* Name) {
    const ref<texture> Texture = texture_load(std::string("data/") + Name + ".png", false);
    return Texture.null() ? -1 : Texture->get_id;
}

// Before the game font exists every text measures 0.
double text_length(double W, const char* Text) {
    const font* Font = cur_font.c_ptr();
    return Font ? Font->get_length(mkrpos(W, W, 1.0), Text) : 0.0;
}

fcolor outside_white() { return mkfcolor(1, 1, 1, 1); }

// Pixel queries at 64-bit positions: beyond the int range is outside.
fcolor pixel_at(const image& I, int64_t X, int64_t Y) {
    if (X < INT_MIN || X > INT_MAX || Y < INT_MIN || Y > INT_MAX) return outside_white();
    return I.get_pixel(mkiloc(int(X), int(Y)));
}

void set_number_entry(lua_State* L, double Key, double Value) {
    lua_pushnumber(L, Key);
    lua_pushnumber(L, Value);
    lua_settable(L, -3);
}

// "image_load_subpixels" (Components 3: red, green, blue) and
// "image_load_submask" (Components 1: alpha).
int sub_rectangle_read(lua_State* L, int Components) {
    const char* ImageName = luaL_checkstring(L, 1);
    const image* Image = script_image(ImageName);
    if (!Image) {
        log_line('*', "script image load submask: could not find image ", ImageName);
        return 0;
    }
    const int X = arg_int(L, 2), Y = arg_int(L, 3), W = arg_int(L, 4), H = arg_int(L, 5);
    if (W <= 0 || H <= 0) {
        lua_createtable(L, 0, 0);
        return 1;
    }
    // Below 2^62, so the product can't overflow.
    if (int64_t(W) * H > max_subrect_entries / Components) {
        log_line('*', "script image load submask: rectangle of ", W, " by ", H, " pixels of ", ImageName,
                 " is too large");
        return 0;
    }
    lua_createtable(L, 0, 0);
    double CurID = 1;
    const int64_t EndX = int64_t(X) + W, EndY = int64_t(Y) + H;
    for (int64_t CurY = Y; CurY < EndY; ++CurY)
        for (int64_t CurX = X; CurX < EndX; ++CurX) {
            const fcolor Pixel = pixel_at(*Image, CurX, CurY);
            if (Components == 3) {
                set_number_entry(L, CurID, Pixel[0]);
                set_number_entry(L, CurID + 1, Pixel[1]);
                set_number_entry(L, CurID + 2, Pixel[2]);
                CurID += 3;
            } else {
                set_number_entry(L, CurID, Pixel[3]);
                CurID += 1;
            }
        }
    return 1;
}

// Runs "game/" + ScriptName + ".lua" unless "LIB" holds it, and records it
// there once it ran without error. Raises only when "LIB" can't be read or
// written; the file name lives on the stack, since nothing here may own
// memory.
void include_script(lua_State* L, const char* ScriptName) {
    const int Top = lua_gettop(L);
    const char* Filename = lua_pushfstring(L, "game/%s.lua", ScriptName);
    push_lib(L);
    lua_pushvalue(L, Top + 1);
    lua_gettable(L, -2);
    const bool HasRun = !lua_isnil(L, -1);
    lua_settop(L, Top + 1);
    if (HasRun) {
        lua_settop(L, Top);
        return;
    }

    if (luaL_loadfilex(L, Filename, nullptr) != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK) {
        log_script_error(L, "game script include warning: couldn't dofile ``", Filename, "''");
        lua_settop(L, Top);
        return;
    }

    push_lib(L);
    lua_pushvalue(L, Top + 1);
    lua_pushboolean(L, 1);
    lua_settable(L, -3);
    lua_settop(L, Top);
}

int protected_include(lua_State* L) {
    include_script(L, static_cast<const char*>(lua_touserdata(L, 1)));
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Script functions

int script_include(lua_State* L) {
    include_script(L, luaL_checkstring(L, 1));
    return 0;
}

int script_texture_load(lua_State* L) {
    const char* TextureName = luaL_checkstring(L, 1);
    const int Handle = script_texture_handle(TextureName);
    if (Handle < 0) {
        log_line('*', "script texture load: could not find texture ", TextureName);
        return 0;
    }
    lua_pushnumber(L, Handle);
    return 1;
}

int script_image_load_submask(lua_State* L) { return sub_rectangle_read(L, 1); }

int script_RN_seed(lua_State* L) {
    RN.seed(static_cast<unsigned long>(static_cast<long>(arg_int(L, 1))));
    return 0;
}

int script_RN(lua_State* L) {
    lua_pushnumber(L, RN.get());
    return 1;
}

int script_set_palette(lua_State* L) {
    const int ID = arg_int(L, 1);
    if (ID < 0 || ID > max_palette_id) {
        log_line('!', "script set palette warning: palette id ", ID, " out of range; ignored");
        return 0;
    }
    const fcolor C = mkfcolor(float(lua_tonumberx(L, 2, nullptr)), float(lua_tonumberx(L, 3, nullptr)),
                              float(lua_tonumberx(L, 4, nullptr)), 1.0f);
    if (palette.size() < size_t(ID) + 1) palette.resize(size_t(ID) + 1, mkfcolor(0, 0, 0, 0));
    palette[ID] = C;
    return 0;
}

int script_image_size(lua_State* L) {
    const char* ImageName = luaL_checkstring(L, 1);
    const image* Image = script_image(ImageName);
    if (!Image) {
        log_line('*', "script image load submask: could not find image ", ImageName);
        return 0;
    }
    lua_pushnumber(L, Image->size[0]);
    lua_pushnumber(L, Image->size[1]);
    return 2;
}

int script_WARN(lua_State* L) {
    const char* Message = luaL_checkstring(L, 1);
    log_line('!', Message);
    return 0;
}

int script_image_exists(lua_State* L) {
    const char* Filename = luaL_checkstring(L, 1);
    const bool Exists = fexist(std::string("data/") + Filename + ".png");
    lua_pushboolean(L, Exists);
    return 1;
}

int script_image_load_subpixels(lua_State* L) { return sub_rectangle_read(L, 3); }

int script_str2color(lua_State* L) {
    const char* CHex = luaL_checkstring(L, 1);
    const fcolor C = str2color(CHex);
    lua_createtable(L, 0, 0);
    for (int i = 0; i < 3; ++i) set_number_entry(L, i + 1, C[i]);
    return 1;
}

int script_color2str(lua_State* L) {
    const fcolor C = mkfcolor(float(lua_tonumberx(L, 1, nullptr)), float(lua_tonumberx(L, 2, nullptr)),
                              float(lua_tonumberx(L, 3, nullptr)), 1.0f);
    // Three 32-bit hex numbers at most.
    char Text[32];
    std::snprintf(Text, sizeof Text, "%s", color2str(C).c_str());
    lua_pushstring(L, Text);
    return 1;
}

int script_text_len(lua_State* L) {
    const double W = lua_tonumberx(L, 1, nullptr);
    const char* Text = luaL_checkstring(L, 2);
    lua_pushnumber(L, text_length(W, Text));
    return 1;
}

int script_game_quit(lua_State*) {
    quit_flag = true;
    return 0;
}

// ---------------------------------------------------------------------------
// Script inclusion

int base_include(lua_State* L, const std::string& ScriptName) {
    lua_pushcfunction(L, protected_include);
    lua_pushlightuserdata(L, const_cast<char*>(ScriptName.c_str()));
    if (lua_pcall(L, 1, 0, 0) != LUA_OK)
        log_script_error(L, "game script include warning: couldn't use ``LIB'' for ``game/", ScriptName, ".lua''");
    return 0;
}

// ---------------------------------------------------------------------------
// The game object

namespace {

const struct {
    const char* name;
    lua_CFunction function;
} script_functions[] = {
    {"include", script_include},
    {"texture_load", script_texture_load},
    {"image_load_submask", script_image_load_submask},
    {"RN_seed", script_RN_seed},
    {"RN", script_RN},
    {"set_palette", script_set_palette},
    {"image_size", script_image_size},
    {"WARN", script_WARN},
    {"image_exists", script_image_exists},
    {"image_load_subpixels", script_image_load_subpixels},
    {"str2color", script_str2color},
    {"color2str", script_color2str},
    {"text_len", script_text_len},
    {"game_quit", script_game_quit},
};

// The standard libraries, the host's functions and an empty "LIB".
int protected_prepare_state(lua_State* L) {
    luaL_openlibs(L);
    for (const auto& Function : script_functions) {
        lua_pushcclosure(L, Function.function, 0);
        lua_setglobal(L, Function.name);
    }
    lua_newtable(L);
    lua_setglobal(L, "LIB");
    return 0;
}

}  // namespace

game::game() : L(nullptr) {}

game::~game() { F.clear(); }

void game::include(const std::string& ScriptName) { base_include(L, ScriptName); }

void game::lib(const std::string& LibName) { base_include(L, "lib/" + LibName); }

void game::init() {
    L = luaL_newstate();
    if (!L) {
        log_line('*', "game init fatal: couldn't create the script state");
        return;
    }
    lua_pushcfunction(L, protected_prepare_state);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) log_script_error(L, "game init warning: couldn't prepare the script state");

    for (const char* Lib : {"std", "rn", "debug", "class", "matrix", "color"}) lib(Lib);
    base_include(L, "font");
    build_font();
    base_include(L, "main");
}

// The game font is made even when the table can't be read, so both holders
// always share one font; without a table it has no face and measures 0.
void game::build_font() {
    F = mkref(new font);
    cur_font = F;
    const char* const Warning = "game init warning: couldn't build the game font";
    if (!get_global(L, "font", "game init warning")) return;
    if (!lua_istable(L, -1)) {
        const char* Type = luaL_typename(L, -1);
        lua_pop(L, 1);
        log_line('!', Warning);
        log_line('!', "--- the global font is a ", Type, " value, not a table");
        return;
    }
    lua_pushcfunction(L, protected_copy_font);
    lua_insert(L, -2);
    if (lua_pcall(L, 1, 1, 0) != LUA_OK) {
        log_script_error(L, Warning);
        return;
    }
    // Reading the plain copy runs no script code, and with the collector
    // stopped no finalizer either, so the font may hold strings meanwhile.
    const bool Collecting = lua_gc(L, LUA_GCISRUNNING, 0) != 0;
    if (Collecting) lua_gc(L, LUA_GCSTOP, 0);
    F->init(L);
    if (Collecting) lua_gc(L, LUA_GCRESTART, 0);
    lua_pop(L, 1);
}

void game::update(double T) {
    if (!L) return;
    lua_pushcfunction(L, protected_publish_keys);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) log_script_error(L, "game update warning: couldn't set the global keys_down");

    if (!get_handler(L, "update", "game update warning",
                     "game update fatal: couldn't find the global update () function"))
        return;
    lua_pushnumber(L, T);
    if (lua_pcall(L, 1, 0, 0) != LUA_OK) log_script_error(L, "game update warning: error calling update function");
}

void game::keypress(int Scancode) {
    if (!L) return;
    const auto Key = sdl_scancode_key_names.find(Scancode);
    if (Key == sdl_scancode_key_names.end() || Key->second.empty()) return;
    if (!get_handler(L, "keypress", "game keypress warning", "game keypress fatal: couldn't find keypress () function"))
        return;
    lua_pushcfunction(L, protected_call_with_text);
    lua_insert(L, -2);
    lua_pushlightuserdata(L, const_cast<char*>(Key->second.c_str()));
    if (lua_pcall(L, 2, 0, 0) != LUA_OK) log_script_error(L, "game update warning: error calling keypress function");
}

// ---------------------------------------------------------------------------
// The render-command interpreter. It runs no script code itself (traversal
// is raw and the conversions call no metamethods), but converting a number
// to text allocates, and a finalizer run then may raise or change the
// tables being walked, so the walk is a protected call.

void game::render() {
    if (!L) return;
    walking.clear();
    walking.reserve(max_render_depth);
    repeat_logged = false;
    depth_logged = false;
    matrix_pushes = 0;
    if (!get_global(L, "render_list", "game render warning")) return;
    if (lua_isnil(L, -1)) {
        log_line('*', "game render fatal: couldn't find the global render table");
        lua_pop(L, 1);
        return;
    }
    lua_pushcfunction(L, protected_walk);
    lua_insert(L, -2);
    lua_pushlightuserdata(L, this);
    if (lua_pcall(L, 2, 0, 0) != LUA_OK) {
        for (; matrix_pushes > 0; --matrix_pushes) glPopMatrix();
        log_script_error(L, "game render warning: couldn't walk the render list");
    }
}

// The render list at 1, the game as a light userdata at 2.
int game::protected_walk(lua_State* L) {
    game* G = static_cast<game*>(lua_touserdata(L, 2));
    lua_settop(L, 1);
    G->render_command();
    return 0;
}

void game::render_command() {
    const int V = lua_gettop(L);
    if (!lua_istable(L, V)) {
        log_line('*', "game render command fatal: command is not itself a table!");
        return;
    }
    const void* Table = lua_topointer(L, V);
    if (std::find(walking.begin(), walking.end(), Table) != walking.end()) {
        if (!repeat_logged)
            log_line('*', "game render command fatal: render list contains itself; skipping the repeated table");
        repeat_logged = true;
        return;
    }
    if (walking.size() >= max_render_depth || !lua_checkstack(L, 4)) {
        if (!depth_logged)
            log_line('*', "game render command fatal: render list nested deeper than ", max_render_depth,
                     " levels; skipping the deeper tables");
        depth_logged = true;
        return;
    }
    walking.push_back(Table);
    walk_table(V);
    walking.pop_back();
}

void game::walk_table(int V) {
    lua_pushnil(L);
    if (!lua_next(L, V)) {
        log_line('*', "game render command fatal: empty table specified!");
        return;
    }
    const int Type = lua_type(L, -1);
    if (Type == LUA_TSTRING || Type == LUA_TNUMBER) {
        size_t Length = 0;
        const char* Word = lua_tolstring(L, -1, &Length);
        const int Id = word_id(Word, strnlen(Word, Length));
        if (Id == W_UNKNOWN)
            log_line('!', "game render command warning: unrecognized command ``", Word, "''; skipping");
        lua_pop(L, 1);
        if (Id == W_UNKNOWN || run_word(Id, V))
            while (lua_next(L, V)) lua_pop(L, 1);
        // Drops the texts the command kept.
        lua_settop(L, V);
    } else if (Type == LUA_TTABLE) {
        do {
            render_command();
            lua_pop(L, 1);
        } while (lua_next(L, V));
    } else {
        lua_pop(L, 2);
    }
}

// Reads the next N elements as numbers; false when the traversal ended first.
bool game::read_numbers(int V, double* Out, int N) {
    for (int i = 0; i < N; ++i) {
        if (!lua_next(L, V)) return false;
        Out[i] = lua_tonumberx(L, -1, nullptr);
        lua_pop(L, 1);
    }
    return true;
}

// 1: Out points to the next element's text, which stays on the stack below
// the traversal key until the command is done; 0: the traversal ended; -1:
// the element has no text form (it is popped, the traversal goes on).
int game::read_text(int V, const char*& Out) {
    if (!lua_next(L, V)) return 0;
    if (!lua_isstring(L, -1)) {
        lua_pop(L, 1);
        return -1;
    }
    Out = lua_tostring(L, -1);
    lua_insert(L, -2);
    return 1;
}

// Reads the word's arguments and acts; false when the traversal ended while
// reading them (the command is then abandoned and nothing is left to skip).
bool game::run_word(int Word, int V) {
    double A[8];
    switch (Word) {
        case W_NONE: return true;
        case W_RGBA:
            if (!read_numbers(V, A, 4)) return false;
            glColor4d(A[0], A[1], A[2], A[3]);
            return true;
        case W_CAMERA:
            if (!read_numbers(V, A, 2)) return false;
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            gluLookAt(A[0], A[1], 0, A[0], A[1], 1.0, 0, -1.0, 0);
            return true;
        case W_TRANSLATE:
        case W_SCALE:
        case W_ROTATE: {
            int N = Word == W_ROTATE ? 1 : 2;
            if (!read_numbers(V, A, N) || !lua_next(L, V)) return false;
            glPushMatrix();
            ++matrix_pushes;
            if (Word == W_TRANSLATE) glTranslated(A[0], A[1], 0);
            else if (Word == W_SCALE) glScaled(A[0], A[1], 1.0);
            else glRotated(A[0] * 360.0 / 6.283185307179586, 0, 0, 1.0);
            render_command();
            glPopMatrix();
            --matrix_pushes;
            lua_pop(L, 1);
            return true;
        }
        case W_ZOFFS:
            if (!read_numbers(V, A, 1)) return false;
            glTranslated(0, 0, A[0]);
            return true;
        case W_PICTURE:
            if (!read_numbers(V, A, 1)) return false;
            draw_picture(cut_to_int(A[0]));
            return true;
        case W_LINE:
            if (!read_numbers(V, A, 5)) return false;
            draw_line(A[0], A[1], A[2], A[3], A[4]);
            return true;
        case W_DASHLINE: {
            double B[7];
            if (!read_numbers(V, B, 7)) return false;
            draw_dashline(B[0], B[1], B[2], B[3], B[4], B[5], B[6]);
            return true;
        }
        case W_RECT:
            if (!read_numbers(V, A, 4)) return false;
            draw_rect(A[0], A[1], A[2], A[3]);
            return true;
        case W_QUAD:
            if (!read_numbers(V, A, 8)) return false;
            draw_quad(A);
            return true;
        case W_TRI:
            if (!read_numbers(V, A, 6)) return false;
            draw_tri(A);
            return true;
        case W_CIRCARC:
            if (!read_numbers(V, A, 6)) return false;
            draw_circarc(A[0], A[1], A[2], A[3], A[4], A[5]);
            return true;
        case W_TERRAIN: {
            const char* SwatchName = nullptr;
            if (!read_numbers(V, A, 3)) return false;
            int Got = read_text(V, SwatchName);
            if (Got == 0) return false;
            if (!read_numbers(V, A + 3, 1)) return false;
            if (Got < 0) {
                log_line('!', "game render command warning: terrain image name is not a string; skipping");
                return true;
            }
            draw_terrain(A[0], A[1], A[2], SwatchName, cut_to_int(A[3]));
            return true;
        }
        case W_TEXT:
        case W_RIGHTTEXT:
        case W_CENTERTEXT: {
            const char* Text = nullptr;
            if (!read_numbers(V, A, 3)) return false;
            int Got = read_text(V, Text);
            if (Got == 0) return false;
            if (Got < 0) {
                log_line('!', "game render command warning: text is not a string; skipping");
                return true;
            }
            double Align = Word == W_TEXT ? 0 : Word == W_RIGHTTEXT ? 1.0 : 0.5;
            draw_text(F, A[0], A[1], A[2], Text, Align);
            return true;
        }
    }
    return true;
}
