-- The things that fly: the vireo, hawks, food, rock pillars, the nest and
-- the little score texts that float up.
include "collide"

local S = function() return assets.sprites end

TOP_Y = -262          -- the bottom edge of the score bar
BIRD_SCALE = 2

---------------------------------------------------------------- the vireo
Bird = class()

function Bird:init(X, Y)
  self.pos = vec2(X or -220, Y or 0)
  self.vel = vec2(0, 0)
  self.flap = 0
  self.up = true
  self.tilt = 0
  self.invuln = 0
  self.spin = 0
end

local ACCEL, MAX_VX, MAX_VY, DRAG = 1100, 170, 200, 5

-- Keys: the host's "keys_down" table. Arrows or WASD steer.
function Bird:steer(Dt, Keys)
  local AX, AY = 0, 0
  if Keys.UP or Keys.W then AY = AY - 1 end
  if Keys.DOWN or Keys.S then AY = AY + 1 end
  if Keys.LEFT or Keys.A then AX = AX - 1 end
  if Keys.RIGHT or Keys.D then AX = AX + 1 end
  local V = self.vel
  if AX ~= 0 then V.x = V.x + AX * ACCEL * Dt else V.x = V.x * math.exp(-DRAG * Dt) end
  if AY ~= 0 then V.y = V.y + AY * ACCEL * Dt else V.y = V.y * math.exp(-DRAG * Dt) end
  V.x = std.clamp(V.x, -MAX_VX, MAX_VX)
  V.y = std.clamp(V.y, -MAX_VY, MAX_VY)
end

function Bird:update(Dt)
  local P, V = self.pos, self.vel
  P.x = P.x + V.x * Dt
  P.y = P.y + V.y * Dt
  if P.x < -350 then P.x, V.x = -350, math.max(V.x, 0) end
  if P.x > 260 then P.x, V.x = 260, math.min(V.x, 0) end
  if P.y < TOP_Y + 16 then P.y, V.y = TOP_Y + 16, math.max(V.y, 0) end
  if P.y > GROUND_Y - 14 then P.y, V.y = GROUND_Y - 14, math.min(V.y, 0) end
  -- Wings beat faster when climbing.
  self.flap = self.flap + Dt
  local Period = V.y < -40 and 0.07 or 0.13
  if self.flap >= Period then
    self.flap = self.flap - Period
    self.up = not self.up
  end
  self.tilt = std.approach(self.tilt, std.clamp(V.y / 650, -0.45, 0.45), 3 * Dt)
  self.invuln = math.max(0, self.invuln - Dt)
end

-- Falling out of the sky when the last feather is lost.
function Bird:tumble(Dt)
  self.vel.y = self.vel.y + 500 * Dt
  self.pos.x = self.pos.x + self.vel.x * Dt
  self.pos.y = math.min(self.pos.y + self.vel.y * Dt, GROUND_Y - 10)
  self.spin = self.spin + 7 * Dt
  self.up = true
end

function Bird:sprite()
  return self.up and S().bird_up or S().bird_down
end

function Bird:transform()
  return matrix.place(self.pos.x, self.pos.y, self.tilt + self.spin, BIRD_SCALE)
end

function Bird:draw(L, Time)
  -- Blinks while it gets over a knock.
  if self.invuln > 0 and math.floor(Time * 10) % 2 == 0 then return end
  gfx.rgba(L, color.named.white)
  L[#L + 1] = self:sprite():draw(self.pos.x, self.pos.y, self.tilt + self.spin, BIRD_SCALE)
end

---------------------------------------------------------------- hawks
Hawk = class()

-- Kind "glide": comes in from the right and drifts toward the bird's height.
-- Kind "dive": drops from above onto where the bird was, then pulls out.
function Hawk:init(Kind, X, Y, Speed, Target)
  self.kind = Kind
  self.pos = vec2(X, Y)
  self.state = Kind
  self.t = 0
  self.frame = true
  if Kind == "dive" then
    self.vel = (Target - self.pos):normalized() * 250
  else
    self.vel = vec2(-Speed, 0)
  end
end

function Hawk:update(Dt, Bird, Scroll)
  self.t = self.t + Dt
  local P, V = self.pos, self.vel
  if self.state == "glide" then
    if P.x > Bird.pos.x + 110 then
      V.y = std.approach(V.y, std.clamp((Bird.pos.y - P.y) * 1.2, -95, 95), 160 * Dt)
    else
      V.y = std.approach(V.y, 0, 120 * Dt)
    end
  elseif self.state == "dive" then
    V.x, V.y = V.x * (1 + 0.5 * Dt), V.y * (1 + 0.5 * Dt)
    if P.y > Bird.pos.y + 50 or P.y > GROUND_Y - 70 then self.state = "pull" end
  elseif self.state == "pull" then
    V.y = std.approach(V.y, -40, 900 * Dt)
    V.x = std.approach(V.x, -(Scroll + 180), 400 * Dt)
  elseif self.state == "flee" then
    V.x = std.approach(V.x, 170, 500 * Dt)
    V.y = std.approach(V.y, -280, 700 * Dt)
  end
  P.x = P.x + V.x * Dt
  P.y = math.min(P.y + V.y * Dt, GROUND_Y - 16)
  if self.t >= 0.18 then
    self.t = self.t - 0.18
    self.frame = not self.frame
  end
end

function Hawk:scare()
  self.state = "flee"
end

function Hawk:harmless()
  return self.state == "flee"
end

function Hawk:gone()
  local P = self.pos
  return P.x < -480 or P.x > 520 or P.y < -380
end

-- The sprite faces left; it turns to face where it flies, and is mirrored
-- when it flies off to the right.
function Hawk:placement()
  local D = self.vel:normalized()
  if D.x > 0 then return math.atan2(D.y, D.x), -2 end
  return math.atan2(-D.y, -D.x), 2
end

function Hawk:sprite()
  if self.state == "dive" then return S().hawk_b end
  return self.frame and S().hawk_a or S().hawk_b
end

function Hawk:transform()
  local Theta, SX = self:placement()
  return matrix.place(self.pos.x, self.pos.y, Theta, SX, 2)
end

function Hawk:draw(L)
  local Theta, SX = self:placement()
  gfx.rgba(L, color.named.white, self:harmless() and 0.7 or 1)
  L[#L + 1] = self:sprite():draw(self.pos.x, self.pos.y, Theta, SX, 2)
end

---------------------------------------------------------------- food
Bug = class()

-- Kinds: "fly" (points), "seed" (more points), "berry" (a feather back).
Bug.value = {fly = 10, seed = 25, berry = 50}

function Bug:init(Kind, X, Y, Phase)
  self.kind = Kind
  self.pos = vec2(X, Y)
  self.base = Y
  self.phase = Phase or 0
  self.t = 0
end

function Bug:update(Dt, Scroll)
  self.t = self.t + Dt
  local Drift = self.kind == "fly" and 18 or 0
  self.pos.x = self.pos.x - (Scroll + Drift) * Dt
  local Amp = self.kind == "fly" and 10 or 4
  self.pos.y = self.base + math.sin(self.t * 3.2 + self.phase) * Amp
end

function Bug:sprite()
  if self.kind == "fly" then
    return (math.floor(self.t * 14) % 2 == 0) and S().fly_a or S().fly_b
  end
  return S()[self.kind]
end

function Bug:transform()
  return matrix.place(self.pos.x, self.pos.y, 0, 2)
end

function Bug:draw(L)
  if self.kind ~= "fly" then
    -- A soft glow ring marks the rarer food.
    gfx.rgba(L, color.named.gold, 0.25 + 0.12 * math.sin(self.t * 6))
    gfx.disc(L, self.pos.x, self.pos.y, 13, 12)
  end
  gfx.rgba(L, color.named.white)
  L[#L + 1] = self:sprite():draw(self.pos.x, self.pos.y, 0, 2)
end

---------------------------------------------------------------- rock pillars
Pillar = class()

-- A column of layered rock standing on the ground (Hanging false) or
-- hanging from above, HalfW wide either side of X, reaching Length.
function Pillar:init(X, HalfW, Length, Hanging, Seed)
  self.x, self.hw, self.hanging, self.seed = X, HalfW, Hanging, Seed
  if Hanging then
    self.top, self.bottom = -300, TOP_Y + Length
  else
    self.top, self.bottom = GROUND_Y - Length, GROUND_Y + 8
  end
  self.cap = rn.pick(assets.rock)
  self.passed = false
end

function Pillar:update(Dt, Scroll)
  self.x = self.x - Scroll * Dt
end

function Pillar:gone()
  return self.x < -400 - self.hw - 20
end

-- The solid box, cap stones included.
function Pillar:box()
  local Lip = 4
  if self.hanging then
    return self.x - self.hw - Lip, self.top, self.x + self.hw + Lip, self.bottom + 8
  end
  return self.x - self.hw - Lip, self.top - 8, self.x + self.hw + Lip, self.bottom
end

function Pillar:draw(L)
  local W = self.hw
  local Body = {{"none"}}
  Body[#Body + 1] = {"terrain", self.top, W, self.bottom - self.top, assets.strata, self.seed}
  gfx.rgba(Body, color.scale(self.cap, 0.8))
  if self.hanging then
    local Y = self.bottom
    Body[#Body + 1] = {"quad", -W - 4, Y - 4, W + 4, Y - 4, W, Y + 8, -W, Y + 8}
    gfx.rgba(Body, color.named.ink, 0.35)
    Body[#Body + 1] = {"line", -W, Y + 8, W, Y + 8, 2}
  else
    local Y = self.top
    Body[#Body + 1] = {"quad", -W, Y - 8, W, Y - 8, W + 4, Y + 4, -W - 4, Y + 4}
    gfx.rgba(Body, color.named.ink, 0.35)
    Body[#Body + 1] = {"line", -W, Y - 8, W, Y - 8, 2}
  end
  -- A shaded side gives the column some depth.
  gfx.rgba(Body, color.named.ink, 0.18)
  Body[#Body + 1] = {"rect", W - 4, (self.top + self.bottom) / 2, 4, (self.bottom - self.top) / 2}
  L[#L + 1] = {"translate", self.x, 0, Body}
end

---------------------------------------------------------------- the nest
Nest = class()

function Nest:init(X)
  self.pos = vec2(X, 20)
end

function Nest:update(Dt, Scroll)
  self.pos.x = self.pos.x - Scroll * Dt
end

function Nest:transform()
  return matrix.place(self.pos.x, self.pos.y, 0, 2)
end

function Nest:draw(L, Pal)
  local X, Y = self.pos.x, self.pos.y
  -- The tree: trunk, a branch under the nest, and a crown of leaves behind.
  gfx.rgba(L, color.hex("5a3a1e"))
  L[#L + 1] = {"quad", X + 60, GROUND_Y + 4, X + 90, GROUND_Y + 4, X + 82, Y - 120, X + 68, Y - 120}
  L[#L + 1] = {"quad", X - 40, Y + 10, X + 78, Y - 6, X + 78, Y + 8, X - 40, Y + 16}
  gfx.rgba(L, color.scale(Pal.near, 0.85))
  gfx.disc(L, X + 75, Y - 150, 70, 16)
  gfx.disc(L, X + 20, Y - 110, 45, 14)
  gfx.rgba(L, color.named.white)
  L[#L + 1] = assets.sprites.nest:draw(X, Y, 0, 2)
end

---------------------------------------------------------------- floating texts
Popup = class()

function Popup:init(X, Y, Text, C, Size)
  self.x, self.y, self.text, self.c, self.size = X, Y, Text, C or color.named.gold, Size or 2
  self.t = 0
end

function Popup:update(Dt)
  self.t = self.t + Dt
  self.y = self.y - 35 * Dt
end

function Popup:gone() return self.t > 1.1 end

function Popup:draw(L)
  gfx.text(L, "centertext", self.x, self.y, self.size, self.text, self.c, std.clamp(1.4 - self.t, 0, 1))
end
