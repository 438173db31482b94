-- The screens around the play: the title with its menu, how to play,
-- the pause, and the ends of a journey.
screens = {}

local MENU = {"START JOURNEY", "HOW TO PLAY", "QUIT"}
screens.menu = MENU

-- The menu centred under the title; the chosen item framed to its width.
local function draw_menu(L, Chosen, Time)
  local Y0, Step, Size = 40, 46, 3
  for I, Item in ipairs(MENU) do
    local Y = Y0 + (I - 1) * Step
    if I == Chosen then
      local HalfW = gfx.text_width(Size, Item) / 2 + 18
      gfx.rgba(L, color.named.shade, 0.55)
      L[#L + 1] = {"rect", 0, Y - 9, HalfW, 18}
      gfx.rgba(L, color.named.gold)
      local Bob = math.sin(Time * 6) * 3
      L[#L + 1] = {"tri", -HalfW - 14 + Bob, Y - 17, -HalfW - 2 + Bob, Y - 9, -HalfW - 14 + Bob, Y - 1}
      L[#L + 1] = {"tri", HalfW + 14 - Bob, Y - 17, HalfW + 2 - Bob, Y - 9, HalfW + 14 - Bob, Y - 1}
      gfx.text(L, "centertext", 0, Y, Size, Item, color.named.gold)
    else
      gfx.text(L, "centertext", 0, Y, Size, Item, color.named.white)
    end
  end
end

function screens.title(L, App)
  local Pal = assets.palettes[0]
  App.scene:draw_back(L, Pal, 0)
  App.scene:draw_ground(L, Pal)
  -- The vireo flies its idle loop over the meadow.
  local T = App.time
  local Up = math.floor(T * 7) % 2 == 0
  local Spr = Up and assets.sprites.bird_up or assets.sprites.bird_down
  gfx.rgba(L, color.named.white)
  L[#L + 1] = Spr:draw(-250 + math.sin(T * 0.7) * 40, -40 + math.sin(T * 1.9) * 14, math.cos(T * 1.9) * -0.15, 3)

  gfx.text(L, "centertext", 0, -150, 11, "VIREO", color.named.cream)
  gfx.text(L, "centertext", 0, -112, 2, "a songbird's journey home", color.named.white)
  draw_menu(L, App.choice, T)
  if App.best > 0 then
    gfx.text(L, "centertext", 0, 200, 2, "BEST THIS SESSION  " .. std.format_int(App.best), color.named.gold)
  end
  gfx.text(L, "centertext", 0, 285, 1.5, "UP/DOWN CHOOSE    RETURN OR SPACE SELECT    ESC QUIT", color.named.cream)
end

local HOWTO = {
  {"fly_a", "Catch flies for points - catch them quickly for a combo."},
  {"seed", "Golden seeds are worth more; berries give back a feather."},
  {"hawk_a", "Hawks take a feather. Press SPACE to sing and scare them off."},
  {nil, "Don't bump the rock pillars. Three feathers lost ends the trip."},
  {"nest", "Fly three legs, dawn to dusk, then fly into the nest to win."},
}

function screens.howto(L, App)
  local Pal = assets.palettes[0]
  App.scene:draw_back(L, Pal, 0)
  App.scene:draw_ground(L, Pal)
  gfx.rgba(L, color.named.shade, 0.6)
  L[#L + 1] = {"rect", 0, -10, 360, 230}
  gfx.text(L, "centertext", 0, -195, 4, "HOW TO PLAY", color.named.cream)
  local Y = -140
  for _, Row in ipairs(HOWTO) do
    if Row[1] then
      local Spr = assets.sprites[Row[1]]
      local S = math.min(2, 44 / Spr.w)
      gfx.rgba(L, color.named.white)
      L[#L + 1] = Spr:draw(-300, Y - 4, 0, S)
    else
      -- A little layered pillar stands for the rocks.
      L[#L + 1] = {"translate", -300, 0, {"terrain", Y - 20, 12, 36, assets.strata, 7}}
    end
    for I, Line in ipairs(std.wrap(Row[2], 560, function(S) return gfx.text_width(2, S) end)) do
      gfx.text(L, "text", -250, Y + (I - 1) * 18, 2, Line, color.named.white)
    end
    Y = Y + 54
  end
  gfx.text(L, "centertext", 0, 160, 2, "ARROWS (OR WASD) FLY   SPACE SING   P PAUSE", color.named.gold)
  gfx.text(L, "centertext", 0, 195, 2, "RETURN OR ESC: BACK", color.named.cream)
end

function screens.pause(L)
  gfx.rgba(L, color.named.shade, 0.5)
  L[#L + 1] = {"rect", 0, 0, 400, 300}
  gfx.text(L, "centertext", 0, -10, 6, "PAUSED", color.named.cream)
  gfx.text(L, "centertext", 0, 30, 2, "P OR RETURN: FLY ON    ESC: BACK TO TITLE", color.named.white)
end

function screens.over(L, App)
  local Run = App.run
  local A = std.clamp(Run.state_t * 2, 0, 1)
  gfx.rgba(L, color.named.shade, 0.55 * A)
  L[#L + 1] = {"rect", 0, -20, 300, 170}
  local Y
  if Run.state == "won" then
    gfx.text(L, "centertext", 0, -130, 5, "HOME AT THE NEST!", color.named.gold, A)
    Y = -90
    for _, B in ipairs(Run.bonus) do
      gfx.text(L, "text", -200, Y, 2, B[1], color.named.grey, A)
      gfx.text(L, "righttext", 200, Y, 2, "+" .. std.format_int(B[2]), color.named.white, A)
      Y = Y + 22
    end
  else
    gfx.text(L, "centertext", 0, -130, 5, "THE VIREO IS WORN OUT", color.named.red, A)
    gfx.text(L, "centertext", 0, -95, 2, "Rest a moment and try the journey again.", color.named.white, A)
    Y = -60
  end
  Y = Y + 20
  gfx.text(L, "text", -200, Y, 3, "SCORE", color.named.grey, A)
  gfx.text(L, "righttext", 200, Y, 3, std.format_int(Run.score), color.named.white, A)
  gfx.text(L, "text", -200, Y + 32, 3, "BEST", color.named.grey, A)
  gfx.text(L, "righttext", 200, Y + 32, 3, std.format_int(App.best), color.named.gold, A)
  if App.new_best then
    gfx.text(L, "centertext", 0, Y + 64, 2, "A NEW BEST!", color.named.gold, A)
  end
  gfx.text(L, "centertext", 0, 125, 2, "FLIES " .. Run.caught .. "    HAWKS SCARED " .. Run.scared, color.named.cream, A)
  gfx.text(L, "centertext", 0, 160, 2, "RETURN: FLY AGAIN    ESC: TITLE", color.named.white, A)
end
