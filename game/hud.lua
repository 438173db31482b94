-- The score bar above the play and the status strip over the ground.
hud = {}

local function total_length()
  local N = 0
  for _, L in ipairs(LEGS) do N = N + L.length end
  return N
end

-- A label in grey followed by its value in white, laid out by measuring.
local function labelled(L, X, Y, Label, Value)
  gfx.text(L, "text", X, Y, 2, Label, color.named.grey)
  gfx.text(L, "text", X + gfx.text_width(2, Label .. " "), Y, 2, Value, color.named.white)
end

function hud.draw(L, Run, Best)
  local H = {{"zoffs", -0.8}}
  -- Top bar: score, best, and the journey's progress.
  gfx.rgba(H, color.named.shade, 0.55)
  H[#H + 1] = {"rect", 0, (-300 + TOP_Y) / 2, 400, (TOP_Y + 300) / 2}
  labelled(H, -388, -274, "SCORE", std.format_int(Run.score))
  gfx.text(H, "righttext", 388, -274, 2, "BEST " .. std.format_int(math.max(Best, Run.score)), color.named.cream)

  local X0, X1, Y = -150, 150, -285
  gfx.rgba(H, color.named.grey, 0.8)
  H[#H + 1] = {"dashline", X0, Y, X1, Y, 2, 6, 5}
  local Total, Acc = total_length(), 0
  for I, Leg in ipairs(LEGS) do
    Acc = Acc + Leg.length
    local TX = X0 + (X1 - X0) * Acc / Total
    gfx.rgba(H, I < Run.leg and color.named.leaf or color.named.grey)
    H[#H + 1] = {"line", TX, Y - 6, TX, Y + 6, 2}
  end
  local Done = math.min(Run.total / Total, 1)
  gfx.rgba(H, color.named.leaf)
  H[#H + 1] = {"line", X0, Y, X0 + (X1 - X0) * Done, Y, 3}
  gfx.rgba(H, color.named.white)
  H[#H + 1] = assets.sprites.bird_up:draw(X0 + (X1 - X0) * Done, Y - 2, 0, 1)
  gfx.text(H, "centertext", 0, -266, 1.5, "LEG " .. Run.leg .. " OF " .. #LEGS .. "  " .. Run:leg_def().name, color.named.cream)

  -- Bottom strip: feathers, song, and the controls.
  local BY = 285
  gfx.rgba(H, color.named.shade, 0.45)
  H[#H + 1] = {"rect", 0, BY - 4, 400, 15}
  gfx.text(H, "text", -388, BY, 2, "FEATHERS", color.named.grey)
  local FX = -388 + gfx.text_width(2, "FEATHERS ") + 10
  for I = 1, FEATHERS do
    gfx.rgba(H, color.named.white, I <= Run.feathers and 1 or 0.25)
    H[#H + 1] = assets.sprites.feather:draw(FX + (I - 1) * 22, BY - 6, 0, 2)
  end
  local SX = -100
  gfx.text(H, "text", SX, BY, 2, "SONG", color.named.grey)
  local BarX = SX + gfx.text_width(2, "SONG ")
  local Ready = Run.song >= SONG_COST
  gfx.bar(H, BarX, BY - 6, 110, 12, Run.song / 100, color.named.black, Ready and color.named.sky or color.named.grey)
  gfx.rgba(H, color.named.white, 0.6)
  local Mark = BarX + 110 * SONG_COST / 100
  H[#H + 1] = {"line", Mark, BY - 13, Mark, BY + 1, 1}
  gfx.text(H, "righttext", 388, BY, 1.5, "ARROWS FLY   SPACE SING   P PAUSE", color.named.cream)

  -- The leg's banner for its first seconds.
  local Bn = Run.banner
  if Bn and Bn.t < 3.5 and Run.state ~= "won" and Run.state ~= "lost" then
    local A = std.clamp(math.min(Bn.t * 3, (3.5 - Bn.t) * 2), 0, 1)
    gfx.text(H, "centertext", 0, -190, 4, Bn.text, color.named.cream, A)
  end
  if Run.combo > 1 and Run.combo_t > 0 then
    gfx.text(H, "text", -388, -240, 2, "COMBO x" .. Run.combo, color.named.gold, std.clamp(Run.combo_t, 0, 1))
  end
  L[#L + 1] = {"translate", 0, 0, H}
end
