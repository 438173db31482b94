-- Colours: tables {r, g, b, a} with components 0..1, made from six-digit
-- hex text through the host ("str2color", "color2str"), mixed, and turned
-- into "rgba" commands. Palette entries are also recorded with the host
-- through "set_palette".
color = {}
color.__index = color

function color.new(R, G, B, A)
  return setmetatable({r = R, g = G, b = B, a = A or 1}, color)
end

-- From six hex digits ("ff8000"); bad text gives black (the host warns).
function color.hex(Hex, A)
  local T = str2color(Hex)
  return color.new(T[1], T[2], T[3], A)
end

function color.tohex(C)
  return color2str(C.r, C.g, C.b)
end

function color.lerp(C1, C2, T)
  return color.new(C1.r + (C2.r - C1.r) * T, C1.g + (C2.g - C1.g) * T,
                   C1.b + (C2.b - C1.b) * T, C1.a + (C2.a - C1.a) * T)
end

-- Brighter (K > 1) or darker (K < 1), each component capped at 1.
function color.scale(C, K)
  return color.new(math.min(C.r * K, 1), math.min(C.g * K, 1), math.min(C.b * K, 1), C.a)
end

function color.with_alpha(C, A)
  return color.new(C.r, C.g, C.b, A)
end

-- The "rgba" command for C, with its alpha times Alpha when given.
function color.rgba(C, Alpha)
  return {"rgba", C.r, C.g, C.b, C.a * (Alpha or 1)}
end

-- Commands for opaque colours are shared between frames, keyed by their hex
-- text, so the colours of a steady scene make no new tables.
local cached = {}
function color.cmd(C)
  if C.a ~= 1 then return color.rgba(C) end
  local Key = color.tohex(C)
  local Cmd = cached[Key]
  if not Cmd then
    Cmd = color.rgba(color.hex(Key))
    cached[Key] = Cmd
  end
  return Cmd
end

-- The colours of a row-major rectangle of an image ("data/" .. Name .. ".png"),
-- or nil when the image can't be read.
function color.from_image(Name, X, Y, W, H)
  local T = image_load_subpixels(Name, X, Y, W, H)
  if not T then return nil end
  local R = {}
  for I = 1, #T, 3 do R[#R + 1] = color.new(T[I], T[I + 1], T[I + 2], 1) end
  return R
end

color.palette = {}
function color.set_palette(ID, C)
  color.palette[ID] = C
  set_palette(ID, C.r, C.g, C.b)
end

color.named = {
  white = color.hex("ffffff"), black = color.hex("000000"),
  ink = color.hex("1f2a1a"), cream = color.hex("fff4d6"),
  gold = color.hex("ffd24a"), red = color.hex("e04a3a"),
  leaf = color.hex("93b24e"), sky = color.hex("bfe4f5"),
  shade = color.hex("10141c"), grey = color.hex("b8c0c8"),
}
