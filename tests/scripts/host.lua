-- A stand-in for the game host, for running the game scripts under the
-- plain lua5.2 interpreter: the 14 script functions, the start-up order,
-- stepping with held keys, and a strict check of each frame's render list.
-- Run from the repository root.
host = {}

local function file_exists(Path)
  local F = io.open(Path, "rb")
  if F then F:close() return true end
  return false
end

local function log(Mark, Text)
  host.log[#host.log + 1] = Mark .. " " .. Text
end

---------------------------------------------------------------- images
local decoded = {}

local function decode(Path)
  if decoded[Path] then return decoded[Path] end
  if not file_exists(Path) then return nil end
  local P = io.popen("python3 tests/scripts/pngdump.py '" .. Path .. "'")
  local W, H = P:read("*n", "*n")
  local Px = {}
  for I = 1, W * H * 4 do Px[I] = P:read("*n") / 255 end
  P:close()
  local Img = {w = W, h = H, px = Px}
  decoded[Path] = Img
  return Img
end

local function pixel(Img, X, Y)
  if X < 0 or Y < 0 or X >= Img.w or Y >= Img.h then return 1, 1, 1, 1 end
  local I = (Y * Img.w + X) * 4
  return Img.px[I + 1], Img.px[I + 2], Img.px[I + 3], Img.px[I + 4]
end

local function toint(V)
  V = tonumber(V) or 0
  if V >= 0 then return math.floor(V) end
  return -math.floor(-V)
end

---------------------------------------------------------------- the 14 functions
local function install()
  function include(Name) host.include(tostring(Name)) end

  function texture_load(Name)
    local Path = "data/" .. Name .. ".png"
    if host.textures[Path] then return host.textures[Path] end
    if not decode(Path) then
      log("*", "script texture load: could not find texture " .. Name)
      return
    end
    local Id = #host.texture_names
    host.texture_names[Id + 1] = Path
    host.textures[Path] = Id
    return Id
  end

  local function load_image(Name)
    local Img = decode("data/" .. Name .. ".png")
    if not Img then log("*", "script image load submask: could not find image " .. Name) end
    return Img
  end

  local function subrect(Name, X, Y, W, H, Mask)
    local Img = load_image(Name)
    if not Img then return end
    X, Y, W, H = toint(X), toint(Y), toint(W), toint(H)
    local T = {}
    for CY = Y, Y + H - 1 do
      for CX = X, X + W - 1 do
        local R, G, B, A = pixel(Img, CX, CY)
        if Mask then T[#T + 1] = A else
          T[#T + 1] = R; T[#T + 1] = G; T[#T + 1] = B
        end
      end
    end
    return T
  end

  function image_load_submask(Name, X, Y, W, H) return subrect(Name, X, Y, W, H, true) end
  function image_load_subpixels(Name, X, Y, W, H) return subrect(Name, X, Y, W, H, false) end

  function image_size(Name)
    local Img = load_image(Name)
    if Img then return Img.w, Img.h end
  end

  function image_exists(Name) return file_exists("data/" .. Name .. ".png") end

  -- A 32-bit linear congruential generator: not the host's sequence, but as
  -- repeatable, with the same seeding rule for 0.
  function RN_seed(Seed)
    Seed = toint(Seed) % 4294967296
    if Seed == 0 then Seed = 1 end
    host.rn_state = Seed
    host.rn_draws = 0
  end

  function RN()
    host.rn_state = (host.rn_state * 1664525 + 1013904223) % 4294967296
    host.rn_draws = host.rn_draws + 1
    return host.rn_state / 4294967295
  end

  function set_palette(Id, R, G, B)
    host.palette[toint(Id)] = {R, G, B}
  end

  function WARN(Message) log("!", tostring(Message)) end

  function str2color(Hex)
    Hex = tostring(Hex)
    if #Hex == 0 then return {0, 0, 0} end
    if #Hex ~= 6 then
      log("!", "str2color fatal: bad color string ``" .. Hex .. "''")
      return {0, 0, 0}
    end
    local T = {}
    for I = 1, 5, 2 do
      T[#T + 1] = (tonumber(string.sub(Hex, I, I + 1), 16) or 0) / 255
    end
    return T
  end

  function color2str(R, G, B)
    local function byte(V) return toint((tonumber(V) or 0) * 255) end
    return string.format("%02x%02x%02x", byte(R), byte(G), byte(B))
  end

  function text_len(W, Text)
    local F = host.font
    if not F then return 0 end
    local Len = 0
    Text = tostring(Text)
    for I = 1, #Text do
      local G = F.glyphs[string.byte(Text, I)]
      if G then Len = Len + G.advance * F.pixelsize * (tonumber(W) or 0) end
    end
    return Len
  end

  function game_quit() host.quit = true end
end

---------------------------------------------------------------- scripts
function host.include(Name)
  local Path = "game/" .. Name .. ".lua"
  if LIB[Path] ~= nil then return end
  local Chunk, Err = loadfile(Path)
  local Ok = Chunk ~= nil
  if Ok then Ok, Err = pcall(Chunk) end
  if Ok then
    LIB[Path] = true
  else
    log("!", "game script include warning: couldn't dofile ``" .. Path .. "''")
    log("!", "--- " .. tostring(Err))
  end
end

local function build_font()
  local T = font
  if type(T) ~= "table" then return end
  local F = {pixelsize = tonumber(T.pixelsize) or 0, glyphs = {}, texture = T.texture}
  for Code = 0, 255 do
    local G = T["glyph_" .. Code]
    if type(G) == "table" then F.glyphs[Code] = {advance = tonumber(G.advance) or 0} end
  end
  if not file_exists(tostring(T.texture)) then
    log("*", "font init fatal: couldn't load texture ``" .. tostring(T.texture) .. "''")
    return
  end
  host.font = F
end

-- Starts the game as the host does: the libraries, the font, then main.
function host.start()
  host.log, host.textures, host.texture_names, host.palette = {}, {}, {}, {}
  host.quit, host.font = false, nil
  host.rn_state, host.rn_draws = 4357, 0
  host.words = {}
  install()
  LIB = {}
  for _, Lib in ipairs({"std", "rn", "debug", "class", "matrix", "color"}) do host.include("lib/" .. Lib) end
  host.include("font")
  build_font()
  host.include("main")
end

---------------------------------------------------------------- render lists
local arity = {
  none = {}, camera = {"n", "n"}, rgba = {"n", "n", "n", "n"}, picture = {"i"},
  translate = {"n", "n", "L"}, scale = {"n", "n", "L"}, rotate = {"n", "L"},
  line = {"n", "n", "n", "n", "n"}, dashline = {"n", "n", "n", "n", "n", "n", "n"},
  rect = {"n", "n", "n", "n"}, quad = {"n", "n", "n", "n", "n", "n", "n", "n"},
  tri = {"n", "n", "n", "n", "n", "n"}, circarc = {"n", "n", "n", "n", "n", "n"},
  zoffs = {"n"}, terrain = {"n", "n", "n", "s", "i"},
  text = {"n", "n", "n", "s"}, righttext = {"n", "n", "n", "s"}, centertext = {"n", "n", "n", "s"},
}
host.arity = arity

local function finite(V)
  return type(V) == "number" and V == V and V ~= math.huge and V ~= -math.huge
end

-- Checks a render value more strictly than the host draws it: every table
-- is a plain sequence, lists are not empty, every command is a known word
-- with exactly its arguments, numbers are finite numbers, pictures name
-- loaded textures and terrain images exist. Returns the faults found.
function host.check(V, Faults, Path)
  Faults = Faults or {}
  Path = Path or "render_list"
  if type(V) ~= "table" then
    Faults[#Faults + 1] = Path .. ": not a table"
    return Faults
  end
  local N = #V
  if N == 0 then
    Faults[#Faults + 1] = Path .. ": empty table"
    return Faults
  end
  if host.depth_count(V) ~= N then Faults[#Faults + 1] = Path .. ": not a plain sequence" end
  local First = V[1]
  if type(First) == "table" then
    for I = 1, N do host.check(V[I], Faults, Path .. "[" .. I .. "]") end
    return Faults
  end
  local Word = First
  local Args = arity[Word]
  if not Args then
    Faults[#Faults + 1] = Path .. ": unknown command " .. tostring(Word)
    return Faults
  end
  host.words[Word] = (host.words[Word] or 0) + 1
  if N - 1 ~= #Args then
    Faults[#Faults + 1] = Path .. ": " .. Word .. " has " .. (N - 1) .. " arguments, wants " .. #Args
    return Faults
  end
  for I, Kind in ipairs(Args) do
    local A = V[I + 1]
    local Where = Path .. ": " .. Word .. " argument " .. I
    if Kind == "n" or Kind == "i" then
      if not finite(A) then Faults[#Faults + 1] = Where .. " is " .. tostring(A) end
    elseif Kind == "s" then
      if type(A) ~= "string" then Faults[#Faults + 1] = Where .. " is not a string" end
    elseif Kind == "L" then
      host.check(A, Faults, Path .. "/" .. Word)
    end
  end
  if Word == "picture" and not host.texture_names[(V[2] or -1) + 1] then
    Faults[#Faults + 1] = Path .. ": picture of unloaded texture " .. tostring(V[2])
  elseif Word == "terrain" and type(V[5]) == "string" and not file_exists(V[5]) then
    Faults[#Faults + 1] = Path .. ": terrain image " .. V[5] .. " missing"
  elseif Word == "dashline" and finite(V[7]) and finite(V[8]) and V[7] + V[8] <= 0 then
    Faults[#Faults + 1] = Path .. ": dashline without a period"
  end
  return Faults
end

function host.depth_count(T)
  local N = 0
  for _ in pairs(T) do N = N + 1 end
  return N
end

---------------------------------------------------------------- running
-- One pass of the host's loop with the given keys held; returns the faults
-- of the frame (script errors included).
function host.step(Held)
  local K = {}
  for Name, On in pairs(Held or {}) do if On then K[Name] = true end end
  keys_down = K
  local Faults = {}
  if type(update) ~= "function" then
    Faults[1] = "no update function"
    return Faults
  end
  local Ok, Err = pcall(update, 0.02)
  if not Ok then Faults[#Faults + 1] = "update: " .. tostring(Err) end
  host.check(render_list, Faults)
  return Faults
end

function host.press(Key)
  local Ok, Err = pcall(keypress, Key)
  if not Ok then return "keypress " .. Key .. ": " .. tostring(Err) end
end

-- Log lines marked '!' or '*'.
function host.troubles()
  local R = {}
  for _, L in ipairs(host.log) do
    local M = string.sub(L, 1, 1)
    if M == "!" or M == "*" then R[#R + 1] = L end
  end
  return R
end
