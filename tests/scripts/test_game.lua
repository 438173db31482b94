-- The shipped game on the host stand-in: start-up, the menus, play that is
-- repeatable from its seed, losing, winning, and a valid render list in
-- every frame.
dofile("tests/scripts/host.lua")
dofile("tests/scripts/check.lua")

-- Steps N frames with Keys held (a table, or a function of the frame giving
-- one); fails on the first frame whose render list or handlers are faulty.
local function steps(N, Keys)
  for I = 1, N do
    local K = type(Keys) == "function" and Keys(I) or Keys
    local Faults = host.step(K)
    if #Faults > 0 then check.none(Faults, "frame " .. I .. " in " .. App.mode) end
  end
end

local function press(Key)
  local Err = host.press(Key)
  if Err then error(Err, 2) end
end

-- Keys that steer the bird toward (X, Y).
local function toward(X, Y)
  local B = App.run.bird.pos
  local K = {}
  if Y < B.y - 6 then K.UP = true elseif Y > B.y + 6 then K.DOWN = true end
  if X < B.x - 6 then K.LEFT = true elseif X > B.x + 6 then K.RIGHT = true end
  return K
end

-- A simple pilot: the nearest food ahead, else the middle of the sky.
local function pilot()
  local R = App.run
  if R.nest then return toward(R.nest.pos.x, R.nest.pos.y - 10) end
  local Best, BestD
  for _, Bg in ipairs(R.bugs) do
    local D = Bg.pos.x - R.bird.pos.x
    if D > -10 and (not BestD or D < BestD) then Best, BestD = Bg, D end
  end
  if Best then return toward(Best.pos.x - 20, Best.pos.y) end
  return toward(-150, -20)
end

-- A fingerprint of the run's state, for comparing two runs.
local function fingerprint()
  local R = App.run
  local Parts = {R.score, R.feathers, R.leg, string.format("%.3f", R.dist),
                 string.format("%.3f,%.3f", R.bird.pos.x, R.bird.pos.y), #R.bugs, #R.hawks, #R.pillars}
  for _, P in ipairs(R.pillars) do Parts[#Parts + 1] = string.format("%.2f/%d", P.x, P.seed) end
  return table.concat(Parts, " ")
end

check.case("start-up: every script runs, the font is built, nothing is logged", function()
  host.start()
  check.none(host.troubles(), "log")
  for _, F in ipairs({"lib/std", "lib/rn", "lib/debug", "lib/class", "lib/matrix", "lib/color",
                      "font", "main", "gfx", "assets", "scene", "actors", "collide", "play", "hud", "screens"}) do
    check.truthy(LIB["game/" .. F .. ".lua"], F .. " ran")
  end
  check.truthy(host.font, "font built")
  check.eq(host.font.pixelsize, 128)
  for Code = 32, 126 do check.truthy(host.font.glyphs[Code], "glyph " .. Code) end
  check.eq(type(update), "function"); check.eq(type(keypress), "function")
  check.none(host.check(render_list), "first render list")
  check.eq(App.mode, "title")
end)

check.case("font: text sits on its baseline, glyphs inside the sheet", function()
  for Code = 32, 126 do
    local G = font["glyph_" .. Code]
    check.truthy(G.texcoord_x >= 0 and G.texcoord_x + G.size_x <= 1, "glyph " .. Code .. " across")
    check.truthy(G.texcoord_y >= 0 and G.texcoord_y + G.size_y <= 1, "glyph " .. Code .. " down")
    check.truthy(G.advance > G.size_x - 1e-12, "glyph " .. Code .. " advances past its ink")
    -- Ink from Y - ascent to Y + descent under the y-down camera.
    check.near(G.bearing_y * font.pixelsize, 7, "ascent")
    check.near((G.size_y - G.bearing_y) * font.pixelsize, 2, "descent")
  end
  check.near(text_len(1, "0"), 6)            -- digits share one width
  check.near(text_len(2, "88"), 24)
  check.eq(text_len(3, ""), 0)
end)

check.case("title: the menu moves and wraps, how-to opens and closes", function()
  host.start()
  steps(20)
  press("DOWN"); check.eq(App.choice, 2)
  press("RETURN"); check.eq(App.mode, "howto")
  steps(10)
  press("ESCAPE"); check.eq(App.mode, "title")
  press("UP"); press("UP"); check.eq(App.choice, 3)   -- wraps from the top
  press("DOWN"); check.eq(App.choice, 1)
  check.truthy(not host.quit, "not quit yet")
  press("ESCAPE")
  check.truthy(host.quit, "escape on the title quits")
end)

check.case("title: the QUIT item quits", function()
  host.start()
  press("UP"); press("SPACE")
  check.truthy(host.quit, "quit chosen")
end)

check.case("play: the same seed and keys play the same", function()
  local function play()
    host.start()
    press("RETURN")
    steps(900, function(I) return (I % 200 < 100) and {UP = true, RIGHT = true} or {DOWN = true} end)
    press("SPACE")
    steps(600, pilot)
    return fingerprint()
  end
  local A, B = play(), play()
  check.eq(A, B, "second run")
  check.truthy(App.run.score > 0, "some points")
  -- The next journey of a session has its own seed, so its own layout.
  press("ESCAPE"); press("ESCAPE"); check.eq(App.mode, "title")
  press("RETURN")
  steps(1500, pilot)
  check.truthy(fingerprint() ~= A, "another layout")
end)

check.case("play: keys steer the bird, pause stops the world", function()
  host.start()
  press("RETURN")
  local Y0 = App.run.bird.pos.y
  steps(30, {UP = true})
  check.truthy(App.run.bird.pos.y < Y0 - 50, "up moves up (y down the screen)")
  local X0 = App.run.bird.pos.x
  steps(30, {RIGHT = true})
  check.truthy(App.run.bird.pos.x > X0 + 50, "right moves right")
  press("P"); check.eq(App.mode, "paused")
  local Before = fingerprint()
  steps(50, {UP = true})
  check.eq(fingerprint(), Before, "paused")
  press("P"); check.eq(App.mode, "play")
  steps(5)
  check.truthy(fingerprint() ~= Before, "moving again")
end)

check.case("play: singing costs song and scares a hawk off", function()
  host.start()
  press("RETURN")
  local R = App.run
  local B = R.bird.pos
  R.hawks[#R.hawks + 1] = Hawk("glide", B.x + 120, B.y, 200)
  local Song = R.song
  press("SPACE")
  check.near(R.song, Song - SONG_COST, "song spent")
  steps(20)
  check.truthy(R.hawks[1] == nil or R.hawks[1]:harmless(), "the hawk flees")
  check.eq(R.scared, 1)
  check.eq(R.feathers, FEATHERS)
  R.song = 10
  press("SPACE")
  check.eq(R.song, 10, "too little breath to sing")
end)

check.case("play: hawks and rocks cost feathers, and the last one ends the run", function()
  host.start()
  press("RETURN")
  local R = App.run
  local B = R.bird.pos
  R.hawks[#R.hawks + 1] = Hawk("glide", B.x + 60, B.y, 200)
  steps(30)
  check.eq(R.feathers, FEATHERS - 1, "hawk")
  steps(110)   -- the knock wears off
  R.pillars[#R.pillars + 1] = Pillar(B.x + 10, 30, GROUND_Y - B.y + 40, false, 5)
  steps(3)
  check.eq(R.feathers, FEATHERS - 2, "rock")
  R.feathers = 1
  R.bird.invuln = 0
  R.hawks[#R.hawks + 1] = Hawk("glide", B.x + 40, B.y, 200)
  steps(300)
  check.eq(App.mode, "over"); check.eq(R.state, "lost")
  check.eq(App.best, R.score)
  press("RETURN")
  check.eq(App.mode, "play"); check.eq(App.runs, 2)
  check.truthy(App.run ~= R, "a new run")
end)

check.case("journey: three legs end at the nest, and the win scores its bonus", function()
  host.start()
  press("RETURN")
  local R = App.run
  local Legs = {}
  local Frames = 0
  while R.state ~= "won" and Frames < 20000 do
    R.bird.invuln = 1          -- this test flies through everything
    steps(1, pilot)
    Legs[R.leg] = true
    Frames = Frames + 1
  end
  check.eq(R.state, "won", "after " .. Frames .. " frames")
  check.truthy(Legs[1] and Legs[2] and Legs[3], "all legs flown")
  -- About two and a half minutes of game time.
  check.truthy(Frames * 0.02 > 120 and Frames * 0.02 < 220, "length " .. Frames * 0.02)
  check.truthy(R.caught > 50, "the pilot caught " .. R.caught)
  check.eq(R.bonus[2][2], 100 * R.feathers)
  steps(60)
  check.eq(App.mode, "over")
  check.eq(App.best, R.score)
  check.none(host.troubles(), "log")
  -- Every command word was used somewhere on the way.
  for Word in pairs(host.arity) do check.truthy(host.words[Word], "word " .. Word .. " used") end
  press("ESCAPE"); check.eq(App.mode, "title")
  steps(5)
end)
