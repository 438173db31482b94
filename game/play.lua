-- One journey: three legs flown from dawn to dusk, ending at the nest.
include "actors"

LEGS = {
  {name = "DAWN MEADOW", speed = 80, length = 4200, pillar = {480, 680}, height = {90, 190},
   hanging = 0, pair = 0, hawk = {1100, 1600}, dive = 0, bug = {130, 230}},
  {name = "NOON CANYON", speed = 95, length = 5000, pillar = {420, 600}, height = {110, 240},
   hanging = 0.45, pair = 0, hawk = {750, 1100}, dive = 0.35, bug = {125, 220}},
  {name = "DUSK RIDGE", speed = 110, length = 5800, pillar = {380, 520}, height = {120, 250},
   hanging = 0.3, pair = 0.45, hawk = {560, 820}, dive = 0.5, bug = {120, 210}},
}

FEATHERS = 3
SONG_COST = 25
GRACE = 350     -- distance at the start of each leg without new hazards

Run = class()

function Run:init(Seed)
  rn.seed(Seed)
  self.seed = Seed
  self.scene = Scene()
  self.bird = Bird(-220, 0)
  self.hawks, self.bugs, self.pillars, self.popups = {}, {}, {}, {}
  self.warnings, self.rings = {}, {}
  self.score, self.feathers, self.song = 0, FEATHERS, 60
  self.leg, self.dist, self.total = 1, 0, 0
  self.combo, self.combo_t = 0, 0
  self.caught, self.scared = 0, 0
  self.speed = LEGS[1].speed
  self.time = 0
  self.state = "fly"      -- fly, arrive, falling, won, lost
  self.state_t = 0
  self.banner = {text = "LEG 1 - " .. LEGS[1].name, t = 0}
  self.pal_from, self.pal_t = 1, 1
  self:plan_leg()
end

-- Distances (within the leg) at which the next things appear.
function Run:plan_leg()
  local Leg = LEGS[self.leg]
  self.next_bug = 120
  self.next_pillar = GRACE + rn.float(0, 150)
  self.next_hawk = GRACE + rn.float(Leg.hawk[1], Leg.hawk[2]) * 0.5
  self.next_seed = rn.float(700, 1200)
  self.berry_at = Leg.length * 0.55
  self.berry_done = false
end

function Run:leg_def() return LEGS[self.leg] end

function Run:palette()
  local P = assets.palettes
  if self.pal_t >= 1 then return P[self.leg] end
  return assets.blend(P[self.pal_from], P[self.leg], self.pal_t)
end

function Run:sun_leg()
  if self.pal_t >= 1 then return self.leg end
  return self.pal_from + (self.leg - self.pal_from) * self.pal_t
end

function Run:popup(X, Y, Text, C, Size)
  self.popups[#self.popups + 1] = Popup(X, Y, Text, C, Size)
end

function Run:add_score(Points)
  self.score = self.score + Points
end

---------------------------------------------------------------- spawning
-- A height in the open air near X0..X1, away from the rock pillars.
function Run:free_y(X0, X1, Lo, Hi)
  local Y
  for _ = 1, 8 do
    Y = rn.float(Lo or -220, Hi or 195)
    local Clear = true
    for _, P in ipairs(self.pillars) do
      local BX0, BY0, BX1, BY1 = P:box()
      if BX1 + 30 > X0 and BX0 - 30 < X1 and Y > BY0 - 30 and Y < BY1 + 30 then Clear = false end
    end
    if Clear then return Y end
  end
  return Y
end

function Run:spawn_bugs()
  local Pattern = rn.weighted({{3, "single"}, {3, "line"}, {2, "wave"}, {2, "column"}})
  local X = 440
  if Pattern == "single" then
    self.bugs[#self.bugs + 1] = Bug("fly", X, self:free_y(X, X + 20), rn.float(0, 6))
  elseif Pattern == "line" then
    local N = rn.int(3, 4)
    local Y = self:free_y(X, X + 34 * N)
    for I = 0, N - 1 do self.bugs[#self.bugs + 1] = Bug("fly", X + I * 34, Y, I * 0.6) end
  elseif Pattern == "wave" then
    local Y = self:free_y(X, X + 180, -170, 150)
    for I = 0, 4 do
      self.bugs[#self.bugs + 1] = Bug("fly", X + I * 36, Y + math.sin(I * 1.2) * 40, I * 0.8)
    end
  else
    local Y = self:free_y(X, X + 20, -200, 120)
    for I = 0, 2 do self.bugs[#self.bugs + 1] = Bug("fly", X, Y + I * 32, I * 1.1) end
  end
end

function Run:spawn_pillars()
  local Leg = self:leg_def()
  local HW = rn.float(22, 36)
  local X = 400 + HW + 10
  if rn.chance(Leg.pair) then
    -- A gate: rock from above and below with a gap to slip through.
    local Gap = rn.float(175, 215)
    local Mid = rn.float(TOP_Y + 40 + Gap / 2, GROUND_Y - 40 - Gap / 2)
    self.pillars[#self.pillars + 1] = Pillar(X, HW, Mid - Gap / 2 - TOP_Y, true, rn.int(1, 99999))
    self.pillars[#self.pillars + 1] = Pillar(X, HW, GROUND_Y - (Mid + Gap / 2), false, rn.int(1, 99999))
  else
    local H = rn.float(Leg.height[1], Leg.height[2])
    self.pillars[#self.pillars + 1] = Pillar(X, HW, H, rn.chance(Leg.hanging), rn.int(1, 99999))
  end
end

function Run:spawn_hawk()
  local Leg = self:leg_def()
  if rn.chance(Leg.dive) then
    -- A dive is announced at the top of the screen before the hawk drops.
    self.warnings[#self.warnings + 1] = {x = std.clamp(self.bird.pos.x + rn.float(120, 260), -300, 340), t = 0}
  else
    local Y = rn.float(-220, 160)
    self.hawks[#self.hawks + 1] = Hawk("glide", 470, Y, self.speed + rn.float(50, 90))
  end
end

function Run:spawn(Moved)
  local Leg = self:leg_def()
  self.next_bug = self.next_bug - Moved
  self.next_pillar = self.next_pillar - Moved
  self.next_hawk = self.next_hawk - Moved
  self.next_seed = self.next_seed - Moved
  if self.next_bug <= 0 then
    self:spawn_bugs()
    self.next_bug = rn.float(Leg.bug[1], Leg.bug[2])
  end
  if self.next_seed <= 0 then
    self.bugs[#self.bugs + 1] = Bug("seed", 440, self:free_y(440, 460), 0)
    self.next_seed = rn.float(900, 1400)
  end
  if not self.berry_done and self.dist >= self.berry_at then
    self.bugs[#self.bugs + 1] = Bug("berry", 440, self:free_y(440, 460, -150, 120), 0)
    self.berry_done = true
  end
  if self.next_pillar <= 0 then
    self:spawn_pillars()
    self.next_pillar = rn.float(Leg.pillar[1], Leg.pillar[2])
  end
  if self.next_hawk <= 0 then
    self:spawn_hawk()
    self.next_hawk = rn.float(Leg.hawk[1], Leg.hawk[2])
  end
end

---------------------------------------------------------------- the bird's deeds
function Run:eat(B)
  local P = B.pos
  if B.kind == "berry" and self.feathers < FEATHERS then
    self.feathers = self.feathers + 1
    self:popup(P.x, P.y - 14, "+1 FEATHER", color.named.red)
    return
  end
  if self.combo_t > 0 then self.combo = math.min(self.combo + 1, 5) else self.combo = 1 end
  self.combo_t = 1.6
  local Points = Bug.value[B.kind] * self.combo
  self:add_score(Points)
  self.caught = self.caught + 1
  self.song = math.min(100, self.song + (B.kind == "fly" and 5 or 12))
  local Text = "+" .. Points
  if self.combo > 1 then Text = Text .. " x" .. self.combo end
  self:popup(P.x, P.y - 14, Text, B.kind == "fly" and color.named.gold or color.named.cream)
end

function Run:sing()
  if self.state ~= "fly" and self.state ~= "arrive" then return end
  if #self.rings > 0 and self.rings[#self.rings].r < 80 then return end
  if self.song < SONG_COST then
    self:popup(self.bird.pos.x, self.bird.pos.y - 30, "OUT OF BREATH", color.named.grey, 1.5)
    return
  end
  self.song = self.song - SONG_COST
  self.rings[#self.rings + 1] = {r = 40}
end

function Run:hurt(Why)
  local B = self.bird
  self.feathers = self.feathers - 1
  self.combo, self.combo_t = 0, 0
  B.invuln = 2
  B.vel.x = -230
  self:popup(B.pos.x, B.pos.y - 26, Why, color.named.red)
  if self.feathers <= 0 then
    self.state, self.state_t = "falling", 0
    B.vel.x, B.vel.y = -60, -120
  end
end

function Run:check_hits()
  local B = self.bird
  local BS, BM = B:sprite(), B:transform()
  for _, Bg in ipairs(self.bugs) do
    if not Bg.eaten and collide.near(B.pos, Bg.pos, 40) and
       collide.sprites(Bg:sprite(), Bg:transform(), BS, BM) then
      Bg.eaten = true
      self:eat(Bg)
    end
  end
  if B.invuln > 0 then return end
  for _, P in ipairs(self.pillars) do
    local X0, Y0, X1, Y1 = P:box()
    if B.pos.x + 24 > X0 and B.pos.x - 24 < X1 and collide.sprite_box(BS, BM, X0, Y0, X1, Y1) then
      self:hurt("BONK!")
      return
    end
  end
  for _, H in ipairs(self.hawks) do
    if not H:harmless() and collide.near(B.pos, H.pos, 60) and
       collide.sprites(BS, BM, H:sprite(), H:transform()) then
      self:hurt("OUCH!")
      return
    end
  end
end

---------------------------------------------------------------- a step
function Run:advance_leg()
  local Done = self:leg_def()
  self:add_score(100)
  self:popup(0, -120, "LEG COMPLETE +100", color.named.cream, 3)
  if self.leg == #LEGS then
    self.state = "arrive"
    self.nest = Nest(560)
    self.banner = {text = "THE NEST IS NEAR - FLY IN!", t = 0}
    return
  end
  self.pal_from, self.pal_t = self.leg, 0
  self.leg = self.leg + 1
  self.dist = self.dist - Done.length
  self.banner = {text = "LEG " .. self.leg .. " - " .. self:leg_def().name, t = 0}
  self:plan_leg()
end

function Run:update(Dt, Keys)
  self.time = self.time + Dt
  self.state_t = self.state_t + Dt
  if self.state == "won" or self.state == "lost" then
    self.scene:update(Dt, 0)
    return
  end
  local Leg = self:leg_def()
  -- Speed: each leg starts at its pace and quickens a little toward its end.
  if self.state == "arrive" then
    if self.nest.pos.x < 250 then self.speed = std.approach(self.speed, 0, 140 * Dt) end
  elseif self.state == "fly" then
    self.speed = Leg.speed + 12 * math.min(self.dist / Leg.length, 1)
  else
    self.speed = std.approach(self.speed, 0, 80 * Dt)
  end
  local Moved = self.speed * Dt
  self.scene:update(Dt, self.speed)
  if self.state == "fly" then
    self.dist = self.dist + Moved
    self.total = self.total + Moved
    self:spawn(Moved)
    if self.dist >= Leg.length then self:advance_leg() end
  end
  self.pal_t = math.min(1, self.pal_t + Dt / 3)
  self.banner.t = self.banner.t + Dt
  self.song = math.min(100, self.song + 3.5 * Dt)
  self.combo_t = math.max(0, self.combo_t - Dt)

  local B = self.bird
  if self.state == "falling" then
    B:tumble(Dt)
    if self.state_t > 1.8 then self.state, self.state_t = "lost", 0 end
  else
    B:steer(Dt, Keys)
    B:update(Dt)
  end

  for _, W in ipairs(self.warnings) do
    W.t = W.t + Dt
    if W.t >= 0.9 and not W.done then
      W.done = true
      self.hawks[#self.hawks + 1] = Hawk("dive", W.x, -330, 0, B.pos:copy())
    end
  end
  std.remove_if(self.warnings, function(W) return W.done end)
  for _, H in ipairs(self.hawks) do H:update(Dt, B, self.speed) end
  for _, Bg in ipairs(self.bugs) do Bg:update(Dt, self.speed) end
  for _, P in ipairs(self.pillars) do
    P:update(Dt, self.speed)
    if not P.passed and P.x + P.hw < B.pos.x and self.state ~= "falling" then
      P.passed = true
      self:add_score(5)
    end
  end
  for _, Pp in ipairs(self.popups) do Pp:update(Dt) end
  if self.nest then self.nest:update(Dt, self.speed) end

  -- Song rings spread from the bird and send hawks packing.
  for _, R in ipairs(self.rings) do
    R.r = R.r + 330 * Dt
    for _, H in ipairs(self.hawks) do
      if not H:harmless() and collide.near(B.pos, H.pos, R.r + 26) then
        H:scare()
        self.scared = self.scared + 1
        self:add_score(30)
        self:popup(H.pos.x, H.pos.y - 20, "+30 SHOO!", color.named.sky)
      end
    end
  end
  std.remove_if(self.rings, function(R) return R.r > 200 end)

  if self.state ~= "falling" then self:check_hits() end
  if self.state == "arrive" and self.nest and
     collide.near(B.pos, self.nest.pos, 70) and
     collide.sprites(B:sprite(), B:transform(), assets.sprites.nest, self.nest:transform()) then
    self:finish()
  end

  std.remove_if(self.hawks, function(H) return H:gone() end)
  std.remove_if(self.bugs, function(Bg) return Bg.eaten or Bg.pos.x < -440 end)
  std.remove_if(self.pillars, function(P) return P:gone() end)
  std.remove_if(self.popups, function(P) return P:gone() end)
end

-- Home: the bonus for what is left, and the end of the run.
function Run:finish()
  self.bonus = {
    {"JOURNEY", 250},
    {"FEATHERS x" .. self.feathers, 100 * self.feathers},
    {"SONG LEFT", math.floor(self.song)},
  }
  for _, B in ipairs(self.bonus) do self:add_score(B[2]) end
  self.state, self.state_t = "won", 0
  self.bird.pos = self.nest.pos + vec2(0, -14)
  self.bird.vel = vec2(0, 0)
  self.bird.tilt = 0
end

function Run:over()
  return (self.state == "won" or self.state == "lost") and self.state_t > 0.6
end

---------------------------------------------------------------- drawing
function Run:draw(L)
  local Pal = self:palette()
  self.scene:draw_back(L, Pal, self:sun_leg())
  for _, P in ipairs(self.pillars) do P:draw(L) end
  if self.nest then self.nest:draw(L, Pal) end
  self.scene:draw_ground(L, Pal)
  for _, Bg in ipairs(self.bugs) do Bg:draw(L) end
  for _, H in ipairs(self.hawks) do H:draw(L) end
  self.bird:draw(L, self.time)
  -- Effects sit a little nearer the viewer, so later layers never hide them.
  local Fx = {{"zoffs", -0.5}}
  local B = self.bird
  for _, R in ipairs(self.rings) do
    local A = std.clamp(1 - R.r / 200, 0, 1)
    gfx.rgba(Fx, color.named.white, 0.9 * A)
    Fx[#Fx + 1] = {"circarc", B.pos.x, B.pos.y, R.r, 0, 2 * math.pi, 3}
    gfx.rgba(Fx, color.named.gold, 0.7 * A)
    Fx[#Fx + 1] = {"circarc", B.pos.x, B.pos.y, R.r * 0.8, -0.8, 0.8, 3}
    Fx[#Fx + 1] = {"circarc", B.pos.x, B.pos.y, R.r * 0.65, -0.6, 0.6, 2}
  end
  for _, W in ipairs(self.warnings) do
    local On = math.floor(W.t * 8) % 2 == 0
    gfx.rgba(Fx, color.named.red, On and 1 or 0.5)
    Fx[#Fx + 1] = {"tri", W.x, TOP_Y + 6, W.x + 16, TOP_Y + 34, W.x - 16, TOP_Y + 34}
    gfx.rgba(Fx, color.named.white)
    Fx[#Fx + 1] = {"centertext", W.x + 1, TOP_Y + 31, 3, "!"}
  end
  for _, P in ipairs(self.popups) do P:draw(Fx) end
  L[#L + 1] = {"translate", 0, 0, Fx}
end
