#include "game.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
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

// A script may raise any value; only strings and numbers have a text.
std::string error_text(lua_State* L, int Index) {
    int Type = lua_type(L, Index);
    if (Type == LUA_TSTRING || Type == LUA_TNUMBER) return lua_tostring(L, Index);
    return std::string("(error object is a ") + luaL_typename(L, Index) + " value)";
}

// The two warning lines of a failed script call; pops the error.
void log_script_error(lua_State* L, const std::string& Line) {
    std::string Message = error_text(L, -1);
    lua_pop(L, 1);
    log_line('!', Line);
    log_line('!', "--- ", Message);
}

// The host's own accesses to globals and to "LIB" run through these, called
// protected, so a script's metatable or a replaced "LIB" that raises is
// reported rather than ending the process. They hold no C++ objects, since
// an error leaves them by a long jump.
int protected_get_global(lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushvalue(L, 1);
    lua_gettable(L, -2);
    return 1;
}

int protected_set_global(lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushvalue(L, 1);
    lua_pushvalue(L, 2);
    lua_settable(L, -3);
    return 0;
}

void push_lib(lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushliteral(L, "LIB");
    lua_gettable(L, -2);
}

int protected_get_lib_entry(lua_State* L) {
    push_lib(L);
    lua_pushvalue(L, 1);
    lua_gettable(L, -2);
    return 1;
}

int protected_mark_lib_entry(lua_State* L) {
    push_lib(L);
    lua_pushvalue(L, 1);
    lua_pushboolean(L, 1);
    lua_settable(L, -3);
    return 0;
}

// Font building reads the table's fields with ordinary access, which a
// metatable can make raise.
int protected_font_init(lua_State* L) {
    font* F = static_cast<font*>(lua_touserdata(L, 1));
    lua_pushvalue(L, 2);
    F->init(L);
    return 0;
}

// Pushes the global Name, or logs the failure and pushes nothing.
bool get_global(lua_State* L, const char* Name, const char* Operation) {
    lua_pushcfunction(L, protected_get_global);
    lua_pushstring(L, Name);
    if (lua_pcall(L, 1, 1, 0) == LUA_OK) return true;
    log_script_error(L, std::string(Operation) + ": couldn't read the global " + Name);
    return false;
}

// Sets the global Name to the value on top, which is popped.
void set_global(lua_State* L, const char* Name, const char* Operation) {
    lua_pushcfunction(L, protected_set_global);
    lua_pushstring(L, Name);
    lua_pushvalue(L, -3);
    lua_remove(L, -4);
    if (lua_pcall(L, 2, 0, 0) != LUA_OK)
        log_script_error(L, std::string(Operation) + ": couldn't set the global " + Name);
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

// Without a positive dash plus gap a line with length would never end; it
// keeps its framing but gets no dash.
void draw_dashline(double X0, double Y0, double X1, double Y1, double W, double OnL, double OffL) {
    rpos CurPos = mkrpos(X0, Y0, 0);
    rpos PosDelta = mkrpos(X1 - X0, Y1 - Y0, 0);
    double LineLen = length(PosDelta);
    safe_normalize(PosDelta);
    double Step = OnL + OffL;
    bool Dashes = true;
    if (LineLen > 0 && !(Step > 0)) {
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
void draw_text(const ref<font>& F, double X, double Y, double W, const std::string& Text, double Align) {
    const font* Font = F.c_ptr();
    if (!Font) return;
    rpos Scale = mkrpos(W, W, 1.0);
    double Shift = Align == 0 ? 0 : Font->get_length(Scale, Text) * Align;
    Font->render_string(mkrpos(X - Shift, Y, 0), Scale, Text, false);
}

void draw_terrain(double Y, double W, double H, const std::string& SwatchName, int Seed) {
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
// Script function helpers

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
    ref<image> I = image_load(std::string("data/") + ImageName + ".png");
    if (I.null()) {
        log_line('*', "script image load submask: could not find image ", ImageName);
        return 0;
    }
    int X = arg_int(L, 2), Y = arg_int(L, 3), W = arg_int(L, 4), H = arg_int(L, 5);
    // Below 2^62, so the product can't overflow.
    int64_t Pixels = (W > 0 && H > 0) ? int64_t(W) * H : 0;
    if (Pixels > max_subrect_entries / Components) {
        log_line('*', "script image load submask: rectangle of ", W, " by ", H, " pixels of ", ImageName,
                 " is too large");
        return 0;
    }
    lua_createtable(L, 0, 0);
    double CurID = 1;
    const int64_t EndX = int64_t(X) + W, EndY = int64_t(Y) + H;
    for (int64_t CurY = Y; CurY < EndY; ++CurY)
        for (int64_t CurX = X; CurX < EndX; ++CurX) {
            fcolor Pixel = pixel_at(*I.ptr(), CurX, CurY);
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

}  // namespace

// ---------------------------------------------------------------------------
// Script functions

int script_include(lua_State* L) {
    const char* ScriptName = luaL_checkstring(L, 1);
    base_include(L, ScriptName);
    return 0;
}

int script_texture_load(lua_State* L) {
    const char* TextureName = luaL_checkstring(L, 1);
    ref<texture> T = texture_load(std::string("data/") + TextureName + ".png", false);
    if (T.null()) {
        log_line('*', "script texture load: could not find texture ", TextureName);
        return 0;
    }
    lua_pushnumber(L, T->get_id);
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
    int ID = arg_int(L, 1);
    if (ID < 0 || ID > max_palette_id) {
        log_line('!', "script set palette warning: palette id ", ID, " out of range; ignored");
        return 0;
    }
    fcolor C = mkfcolor(float(lua_tonumberx(L, 2, nullptr)), float(lua_tonumberx(L, 3, nullptr)),
                        float(lua_tonumberx(L, 4, nullptr)), 1.0f);
    if (palette.size() < size_t(ID) + 1) palette.resize(size_t(ID) + 1, mkfcolor(0, 0, 0, 0));
    palette[ID] = C;
    return 0;
}

int script_image_size(lua_State* L) {
    const char* ImageName = luaL_checkstring(L, 1);
    ref<image> I = image_load(std::string("data/") + ImageName + ".png");
    if (I.null()) {
        log_line('*', "script image load submask: could not find image ", ImageName);
        return 0;
    }
    lua_pushnumber(L, I->size[0]);
    lua_pushnumber(L, I->size[1]);
    return 2;
}

int script_WARN(lua_State* L) {
    const char* Message = luaL_checkstring(L, 1);
    log_line('!', Message);
    return 0;
}

int script_image_exists(lua_State* L) {
    const char* Filename = luaL_checkstring(L, 1);
    lua_pushboolean(L, fexist(std::string("data/") + Filename + ".png"));
    return 1;
}

int script_image_load_subpixels(lua_State* L) { return sub_rectangle_read(L, 3); }

int script_str2color(lua_State* L) {
    const char* CHex = luaL_checkstring(L, 1);
    fcolor C = str2color(CHex);
    lua_createtable(L, 0, 0);
    for (int i = 0; i < 3; ++i) set_number_entry(L, i + 1, C[i]);
    return 1;
}

int script_color2str(lua_State* L) {
    fcolor C = mkfcolor(float(lua_tonumberx(L, 1, nullptr)), float(lua_tonumberx(L, 2, nullptr)),
                        float(lua_tonumberx(L, 3, nullptr)), 1.0f);
    lua_pushstring(L, color2str(C).c_str());
    return 1;
}

// Before the game font exists every text measures 0.
int script_text_len(lua_State* L) {
    double W = lua_tonumberx(L, 1, nullptr);
    const char* Text = luaL_checkstring(L, 2);
    const font* Font = cur_font.c_ptr();
    lua_pushnumber(L, Font ? Font->get_length(mkrpos(W, W, 1.0), Text) : 0.0);
    return 1;
}

int script_game_quit(lua_State*) {
    quit_flag = true;
    return 0;
}

// ---------------------------------------------------------------------------
// Script inclusion

int base_include(lua_State* L, const std::string& ScriptName) {
    const std::string Filename = "game/" + ScriptName + ".lua";

    lua_pushcfunction(L, protected_get_lib_entry);
    lua_pushstring(L, Filename.c_str());
    if (lua_pcall(L, 1, 1, 0) != LUA_OK) {
        // Without the guard the script might run twice; it is not run.
        log_script_error(L, "game script include warning: couldn't read ``LIB'' for ``" + Filename + "''");
        return 0;
    }
    bool HasRun = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (HasRun) return 0;

    if (luaL_loadfilex(L, Filename.c_str(), nullptr) != LUA_OK || lua_pcall(L, 0, 0, 0) != LUA_OK) {
        log_script_error(L, "game script include warning: couldn't dofile ``" + Filename + "''");
        return 0;
    }

    lua_pushcfunction(L, protected_mark_lib_entry);
    lua_pushstring(L, Filename.c_str());
    if (lua_pcall(L, 1, 0, 0) != LUA_OK)
        log_script_error(L, "game script include warning: couldn't mark ``" + Filename + "'' in ``LIB''");
    return 0;
}

// ---------------------------------------------------------------------------
// The game object

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
    luaL_openlibs(L);

    static const struct {
        const char* name;
        lua_CFunction function;
    } Functions[] = {
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
    for (const auto& Function : Functions) {
        lua_pushcclosure(L, Function.function, 0);
        lua_setglobal(L, Function.name);
    }
    lua_newtable(L);
    lua_setglobal(L, "LIB");

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
    const std::string Warning = "game init warning: couldn't build the game font";
    if (!get_global(L, "font", "game init warning")) return;
    if (!lua_istable(L, -1)) {
        std::string Type = luaL_typename(L, -1);
        lua_pop(L, 1);
        log_line('!', Warning);
        log_line('!', "--- the global font is a ", Type, " value, not a table");
        return;
    }
    lua_pushcfunction(L, protected_font_init);
    lua_pushlightuserdata(L, F.ptr());
    lua_pushvalue(L, -3);
    if (lua_pcall(L, 2, 0, 0) != LUA_OK) log_script_error(L, Warning);
    lua_pop(L, 1);
}

void game::update(double T) {
    if (!L) return;
    int NumKeys = 0;
    const Uint8* Keys = SDL_GetKeyboardState(&NumKeys);
    lua_newtable(L);
    for (const auto& Key : sdl_scancode_key_names)
        if (Keys && Key.first >= 0 && Key.first < NumKeys && Keys[Key.first]) {
            lua_pushboolean(L, 1);
            lua_setfield(L, -2, Key.second.c_str());
        }
    set_global(L, "keys_down", "game update warning");

    if (!get_global(L, "update", "game update warning")) return;
    if (lua_isnil(L, -1)) {
        log_line('*', "game update fatal: couldn't find the global update () function");
        lua_pop(L, 1);
        return;
    }
    lua_pushnumber(L, T);
    if (lua_pcall(L, 1, 0, 0) != LUA_OK)
        log_script_error(L, "game update warning: error calling update function");
}

void game::keypress(int Scancode) {
    if (!L) return;
    auto Key = sdl_scancode_key_names.find(Scancode);
    if (Key == sdl_scancode_key_names.end() || Key->second.empty()) return;
    if (!get_global(L, "keypress", "game keypress warning")) return;
    if (lua_isnil(L, -1)) {
        log_line('*', "game keypress fatal: couldn't find keypress () function");
        lua_pop(L, 1);
        return;
    }
    lua_pushstring(L, Key->second.c_str());
    if (lua_pcall(L, 1, 0, 0) != LUA_OK)
        log_script_error(L, "game update warning: error calling keypress function");
}

// ---------------------------------------------------------------------------
// The render-command interpreter. Nothing here runs script code: traversal
// is raw and the conversions call no metamethods.

void game::render() {
    if (!L) return;
    walking.clear();
    repeat_logged = false;
    depth_logged = false;
    if (!get_global(L, "render_list", "game render warning")) return;
    if (lua_isnil(L, -1)) {
        log_line('*', "game render fatal: couldn't find the global render table");
    } else {
        render_command();
    }
    lua_pop(L, 1);
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
    int Type = lua_type(L, -1);
    if (Type == LUA_TSTRING || Type == LUA_TNUMBER) {
        size_t Length = 0;
        const char* Word = lua_tolstring(L, -1, &Length);
        int Id = word_id(Word, strnlen(Word, Length));
        if (Id == W_UNKNOWN)
            log_line('!', "game render command warning: unrecognized command ``", Word, "''; skipping");
        lua_pop(L, 1);
        if (Id != W_UNKNOWN && !run_word(Id, V)) return;
        while (lua_next(L, V)) lua_pop(L, 1);
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

// 1: Out holds the next element's text; 0: the traversal ended; -1: the
// element has no text form (it is popped, the traversal goes on).
int game::read_text(int V, std::string& Out) {
    if (!lua_next(L, V)) return 0;
    int Result = -1;
    if (lua_isstring(L, -1)) {
        Out = lua_tostring(L, -1);
        Result = 1;
    }
    lua_pop(L, 1);
    return Result;
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
            if (Word == W_TRANSLATE) glTranslated(A[0], A[1], 0);
            else if (Word == W_SCALE) glScaled(A[0], A[1], 1.0);
            else glRotated(A[0] * 360.0 / 6.283185307179586, 0, 0, 1.0);
            render_command();
            glPopMatrix();
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
            std::string SwatchName;
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
            std::string Text;
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
