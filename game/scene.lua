-- The scenery behind and under the play: sky, sun, two ridges of hills
-- scrolling at their own depth, clouds, and the striped ground.
Scene = class()

GROUND_Y = 230

-- A ridge line: heights at evenly spaced points, made as the view moves on.
local Ridge = class()

function Ridge:init(Spacing, Lo, Hi, Parallax, Trees)
  self.spacing, self.lo, self.hi, self.parallax = Spacing, Lo, Hi, Parallax
  self.trees = Trees
  self.x = 0
  self.pts = {}
end

function Ridge:update(Dist)
  self.x = self.x + Dist * self.parallax
  local First = math.floor((self.x - 420) / self.spacing)
  local Last = math.ceil((self.x + 420) / self.spacing) + 1
  for I = First, Last do
    if not self.pts[I] then
      local P = {y = rn.float(self.lo, self.hi)}
      if self.trees and rn.chance(self.trees) then P.tree = rn.float(0.7, 1.3) end
      self.pts[I] = P
    end
  end
  for I in pairs(self.pts) do
    if I < First - 1 then self.pts[I] = nil end
  end
  self.first, self.last = First, Last
end

function Ridge:draw(L, C, Base)
  gfx.rgba(L, C)
  local Trees = {}
  for I = self.first, self.last - 1 do
    local P, Q = self.pts[I], self.pts[I + 1]
    if P and Q then
      local X0 = I * self.spacing - self.x
      local X1 = X0 + self.spacing
      L[#L + 1] = {"quad", X0, P.y, X1, Q.y, X1, Base, X0, Base}
      if P.tree then Trees[#Trees + 1] = {X0, P.y, P.tree} end
    end
  end
  -- Pines along the near ridge, a shade darker than the hills.
  if #Trees > 0 then
    gfx.rgba(L, color.scale(C, 0.72))
    for _, T in ipairs(Trees) do
      local X, Y, S = T[1], T[2], T[3]
      L[#L + 1] = {"rect", X, Y - 6 * S, 3 * S, 8 * S}
      for K = 0, 2 do
        local Top = Y - (30 + K * 14) * S
        local W = (16 - K * 4) * S
        L[#L + 1] = {"tri", X, Top, X + W, Top + 24 * S, X - W, Top + 24 * S}
      end
    end
  end
end

function Scene:init()
  self.far = Ridge(90, 60, 150, 0.15)
  self.near = Ridge(55, 150, 205, 0.45, 0.3)
  self.clouds = {}
  self.tufts = {}
  self.tuft_x = 0
  self.cloud_gap = 0
  self.time = 0
  self:update(0, 0)
end

function Scene:update(Dt, Speed)
  local Dist = Speed * Dt
  self.time = self.time + Dt
  self.far:update(Dist)
  self.near:update(Dist)
  -- Clouds drift a little on their own too.
  self.cloud_gap = self.cloud_gap - Dist * 0.3 - 6 * Dt
  if self.cloud_gap <= 0 then
    local First = #self.clouds == 0 and self.time == 0
    self.clouds[#self.clouds + 1] = {
      x = First and rn.float(-300, 300) or 520, y = rn.float(-230, -90),
      s = rn.float(2, 3.5), v = rn.float(4, 10)}
    self.cloud_gap = rn.float(220, 420)
  end
  for _, C in ipairs(self.clouds) do C.x = C.x - Dist * 0.3 - C.v * Dt end
  std.remove_if(self.clouds, function(C) return C.x < -560 end)
  -- Grass tufts move with the ground.
  self.tuft_x = self.tuft_x - Dist
  for _, T in ipairs(self.tufts) do T.x = T.x - Dist end
  std.remove_if(self.tufts, function(T) return T.x < -420 end)
  local LastX = #self.tufts > 0 and self.tufts[#self.tufts].x or -420
  while LastX < 420 do
    LastX = LastX + rn.float(18, 46)
    self.tufts[#self.tufts + 1] = {x = LastX, h = rn.float(6, 13), lean = rn.float(-4, 4),
                                   flower = rn.chance(0.12)}
  end
end

-- Where the sun stands on each leg: the title, dawn, noon and dusk.
local sun_at = {[0] = {-230, -130}, {-260, 70}, {190, -190}, {270, 60}}

function Scene:draw_sky(L, Pal, SunLeg)
  -- Sky: bands mixing from the top colour to the horizon colour.
  local Bands = 40
  local Top, Bottom = -300, GROUND_Y
  local H = (Bottom - Top) / Bands
  for I = 0, Bands - 1 do
    gfx.rgba(L, color.lerp(Pal.sky_top, Pal.horizon, (I + 0.5) / Bands))
    L[#L + 1] = {"rect", 0, Top + (I + 0.5) * H, 400, H / 2 + 0.5}
  end
  -- The sun, with a slowly breathing halo.
  local A = sun_at[math.floor(SunLeg)] or sun_at[0]
  local B = sun_at[math.min(math.floor(SunLeg) + 1, 3)] or A
  local F = SunLeg - math.floor(SunLeg)
  local SX, SY = std.lerp(A[1], B[1], F), std.lerp(A[2], B[2], F)
  local Pulse = math.sin(self.time * 1.5) * 4
  gfx.rgba(L, Pal.sun, 0.25)
  L[#L + 1] = {"circarc", SX, SY, 58 + Pulse, 0, 2 * math.pi, 6}
  gfx.rgba(L, Pal.sun, 0.15)
  L[#L + 1] = {"circarc", SX, SY, 74 + Pulse, 0, 2 * math.pi, 4}
  gfx.rgba(L, Pal.sun)
  gfx.disc(L, SX, SY, 38, 20)
end

function Scene:draw_back(L, Pal, SunLeg)
  self:draw_sky(L, Pal, SunLeg)
  self.far:draw(L, Pal.far, GROUND_Y)
  for _, C in ipairs(self.clouds) do
    L[#L + 1] = color.rgba(color.named.white, 0.85)
    L[#L + 1] = assets.sprites.cloud:draw(C.x, C.y, 0, C.s, C.s * 0.8)
  end
  self.near:draw(L, Pal.near, GROUND_Y)
end

-- The ground: a strip of grass over bands of soil, tufts scrolling by.
function Scene:draw_ground(L, Pal)
  L[#L + 1] = {"terrain", GROUND_Y + 6, 400, 300 - GROUND_Y, assets.soil, 20240613}
  gfx.rgba(L, Pal.grass)
  L[#L + 1] = {"rect", 0, GROUND_Y + 3, 400, 5}
  local Dark = color.scale(Pal.grass, 0.7)
  gfx.rgba(L, Dark)
  for _, T in ipairs(self.tufts) do
    L[#L + 1] = {"line", T.x, GROUND_Y + 2, T.x + T.lean, GROUND_Y - T.h, 2}
    L[#L + 1] = {"line", T.x + 3, GROUND_Y + 2, T.x + 3 + T.lean * 0.5, GROUND_Y - T.h * 0.7, 2}
  end
  gfx.rgba(L, color.named.gold)
  for _, T in ipairs(self.tufts) do
    if T.flower then L[#L + 1] = {"rect", T.x + T.lean, GROUND_Y - T.h, 2, 2} end
  end
end
