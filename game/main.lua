-- Vireo: a songbird's journey home. The game's state machine, and the two
-- handlers the host calls: update(Dt) once per step and keypress(Key).
include "gfx"
include "assets"
include "scene"
include "play"
include "hud"
include "screens"

GAME_SEED = 20240613

assets.load()

App = {
  mode = "title",     -- title, howto, play, paused, over
  choice = 1,
  best = 0,
  runs = 0,
  time = 0,
  scene = Scene(),
}

local function start_run()
  App.runs = App.runs + 1
  -- Each journey of the session has its own seed, so a session replays alike.
  App.run = Run(GAME_SEED + App.runs - 1)
  App.mode = "play"
end

local function to_title()
  App.mode = "title"
  App.run = nil
end

local function choose()
  local Item = screens.menu[App.choice]
  if Item == "START JOURNEY" then start_run()
  elseif Item == "HOW TO PLAY" then App.mode = "howto"
  else game_quit() end
end

local keys_for = {
  title = function(Key)
    if Key == "ESCAPE" then game_quit()
    elseif Key == "UP" or Key == "W" then App.choice = (App.choice - 2) % #screens.menu + 1
    elseif Key == "DOWN" or Key == "S" then App.choice = App.choice % #screens.menu + 1
    elseif Key == "RETURN" or Key == "SPACE" then choose() end
  end,
  howto = function(Key)
    if Key == "ESCAPE" or Key == "RETURN" or Key == "SPACE" then App.mode = "title" end
  end,
  play = function(Key)
    if Key == "SPACE" then App.run:sing()
    elseif Key == "P" or Key == "ESCAPE" then App.mode = "paused" end
  end,
  paused = function(Key)
    if Key == "P" or Key == "RETURN" then App.mode = "play"
    elseif Key == "ESCAPE" then to_title() end
  end,
  over = function(Key)
    if Key == "RETURN" or Key == "SPACE" then start_run()
    elseif Key == "ESCAPE" then to_title() end
  end,
}

function keypress(Key)
  keys_for[App.mode](Key)
end

local function build_frame()
  local L = {{"camera", 0, 0}, {"rgba", 1, 1, 1, 1}}
  if App.mode == "title" then
    screens.title(L, App)
  elseif App.mode == "howto" then
    screens.howto(L, App)
  else
    App.run:draw(L)
    hud.draw(L, App.run, App.best)
    if App.mode == "paused" then screens.pause(L) end
    if App.mode == "over" then screens.over(L, App) end
  end
  return L
end

function update(Dt)
  Dt = std.clamp(tonumber(Dt) or 0, 0, 0.1)
  App.time = App.time + Dt
  local Keys = keys_down or {}
  if App.mode == "title" or App.mode == "howto" then
    App.scene:update(Dt, 45)
  elseif App.mode == "play" or App.mode == "over" then
    App.run:update(Dt, Keys)
    if App.mode == "play" and App.run:over() then
      App.new_best = App.run.score > App.best
      App.best = math.max(App.best, App.run.score)
      App.mode = "over"
    end
  end
  render_list = build_frame()
end

render_list = build_frame()
