-- Helpers that build render-list commands. A list starts with "none" so it
-- is never empty, whatever gets added to it.
gfx = {}

function gfx.list()
  return {{"none"}}
end

function gfx.add(L, Cmd)
  L[#L + 1] = Cmd
  return Cmd
end

function gfx.rgba(L, C, Alpha)
  if Alpha then L[#L + 1] = color.rgba(C, Alpha) else L[#L + 1] = color.cmd(C) end
end

-- Text with a dark drop shadow. Kind: "text", "centertext" or "righttext";
-- Y is the baseline; Size multiplies the 5x7 font (one pixel = Size units).
function gfx.text(L, Kind, X, Y, Size, Text, C, Alpha)
  local A = Alpha or 1
  L[#L + 1] = color.rgba(color.named.shade, 0.6 * A)
  L[#L + 1] = {Kind, X + Size * 0.6, Y + Size * 0.6, Size, Text}
  L[#L + 1] = color.rgba(C or color.named.white, A)
  L[#L + 1] = {Kind, X, Y, Size, Text}
end

-- Width of a text at a size, in world units, measured by the host's font.
function gfx.text_width(Size, Text)
  return text_len(Size, Text) or 0
end

-- A filled disc from a fan of triangles.
function gfx.disc(L, X, Y, R, Segs)
  Segs = Segs or 18
  local Step = 2 * math.pi / Segs
  for I = 0, Segs - 1 do
    local A0, A1 = I * Step, (I + 1) * Step
    L[#L + 1] = {"tri", X, Y, X + R * math.cos(A0), Y + R * math.sin(A0),
                 X + R * math.cos(A1), Y + R * math.sin(A1)}
  end
end

-- A filled bar from X0 to X0 + W with the fraction F lit.
function gfx.bar(L, X0, Y, W, H, F, Back, Front)
  gfx.rgba(L, Back, 0.6)
  L[#L + 1] = {"rect", X0 + W / 2, Y, W / 2, H / 2}
  if F > 0 then
    gfx.rgba(L, Front)
    L[#L + 1] = {"rect", X0 + W * F / 2, Y, W * F / 2, H / 2 - 1}
  end
end
