-- Sprites and palettes: textures for drawing, alpha masks for collisions,
-- and the colours of each leg of the journey read from data/sky.png.
assets = {}

local Sprite = class()

-- The textures a sprite draws with ("data/" .. Name .. ".png"), its size in
-- pixels and its solid pixels (alpha above zero) for collision tests.
function Sprite:init(Name)
  self.name = Name
  if not image_exists(Name) then
    debug.warn("missing image data/" .. Name .. ".png")
    self.w, self.h, self.solid, self.points = 1, 1, {}, {}
    return
  end
  self.tex = texture_load(Name)
  self.w, self.h = image_size(Name)
  self.w, self.h = self.w or 1, self.h or 1
  local Mask = image_load_submask(Name, 0, 0, self.w, self.h) or {}
  self.solid = {}
  for I = 1, self.w * self.h do self.solid[I] = (Mask[I] or 0) > 0 end
  -- Sample points for testing this sprite against others: the centres of
  -- every other solid pixel, relative to the sprite's centre.
  self.points = {}
  for Y = 0, self.h - 1, 2 do
    for X = 0, self.w - 1, 2 do
      if self.solid[Y * self.w + X + 1] then
        self.points[#self.points + 1] = {X + 0.5 - self.w / 2, Y + 0.5 - self.h / 2}
      end
    end
  end
end

-- Whether the sprite is solid at a point given relative to its centre.
function Sprite:solid_at(LX, LY)
  local PX, PY = math.floor(LX + self.w / 2), math.floor(LY + self.h / 2)
  if PX < 0 or PY < 0 or PX >= self.w or PY >= self.h then return false end
  return self.solid[PY * self.w + PX + 1]
end

-- The "picture" command of this sprite, or "none" when it failed to load.
function Sprite:picture()
  if not self.tex then return {"none"} end
  return {"picture", self.tex}
end

-- The sprite drawn centred at (X, Y), turned by Theta and scaled by SX, SY.
function Sprite:draw(X, Y, Theta, SX, SY)
  SX = SX or 1
  SY = SY or SX
  local Cmd = self:picture()
  if SX ~= 1 or SY ~= 1 then Cmd = {"scale", SX, SY, Cmd} end
  if Theta and Theta ~= 0 then Cmd = {"rotate", Theta, Cmd} end
  return {"translate", X, Y, Cmd}
end

assets.Sprite = Sprite

-- Row layout of sky.png: one column per leg, these colours top to bottom.
local sky_rows = {"sky_top", "horizon", "far", "near", "sun", "grass"}

function assets.load()
  local S = {}
  for _, Name in ipairs({"bird_up", "bird_down", "hawk_a", "hawk_b", "fly_a", "fly_b",
                         "seed", "berry", "cloud", "nest", "feather"}) do
    S[Name] = Sprite(Name)
  end
  assets.sprites = S
  -- Leg palettes: 0 the title, 1 to 3 the legs. Also recorded with the host,
  -- eight entries per leg.
  assets.palettes = {}
  for Leg = 0, 3 do
    local Cols = color.from_image("sky", Leg, 0, 1, #sky_rows)
    local P = {}
    for I, Key in ipairs(sky_rows) do
      P[Key] = (Cols and Cols[I]) or color.named.grey
      color.set_palette(Leg * 8 + I - 1, P[Key])
    end
    assets.palettes[Leg] = P
  end
  -- Rock colours for the cap stones of the pillars.
  assets.rock = color.from_image("strata", 0, 0, 8, 2) or {color.named.grey}
  assets.strata = "data/strata.png"
  assets.soil = "data/soil.png"
end

-- The palette between two legs: each colour mixed by T.
function assets.blend(P1, P2, T)
  local R = {}
  for _, Key in ipairs(sky_rows) do R[Key] = color.lerp(P1[Key], P2[Key], T) end
  return R
end
