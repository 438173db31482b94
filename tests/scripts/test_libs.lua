-- The libraries' logic, on the host stand-in: std, rn, class, matrix, color.
dofile("tests/scripts/host.lua")
dofile("tests/scripts/check.lua")

host.start()

check.case("std: numbers", function()
  check.eq(std.clamp(5, 0, 3), 3); check.eq(std.clamp(-1, 0, 3), 0); check.eq(std.clamp(2, 0, 3), 2)
  check.eq(std.approach(0, 10, 3), 3); check.eq(std.approach(9, 10, 3), 10); check.eq(std.approach(5, -10, 3), 2)
  check.eq(std.lerp(10, 20, 0.25), 12.5)
  for _, C in ipairs({{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {-4500, "-4,500"}, {100000, "100,000"}}) do
    check.eq(std.format_int(C[1]), C[2], "format_int " .. C[1])
  end
end)

check.case("std: tables keep order when filtered in place", function()
  local T = {1, 2, 3, 4, 5, 6}
  check.eq(std.remove_if(T, function(V) return V % 2 == 0 end), 3)
  check.eq(table.concat(T, ","), "1,3,5")
  check.eq(#T, 3)
  local Empty = {}
  check.eq(std.remove_if(Empty, function() return true end), 0)
  local All = {1, 2}
  std.remove_if(All, function() return true end)
  check.eq(#All, 0)
  check.eq(table.concat(std.filter({3, 4, 5}, function(V) return V > 3 end), ","), "4,5")
  check.eq(table.concat(std.map({1, 2}, function(V, I) return V * 10 + I end), ","), "11,22")
  check.eq(table.concat(std.keys({b = 1, a = 2, c = 3}), ","), "a,b,c")
  local Orig = {x = 1}
  local C = std.copy(Orig); C.x = 2
  check.eq(Orig.x, 1)
  check.eq(std.count(std.merge({a = 1}, {b = 2, a = 3})), 2)
end)

check.case("std: strings split, trim and wrap", function()
  check.eq(table.concat(std.split("a,b,,c", ","), "|"), "a|b||c")
  check.eq(table.concat(std.split("a.b", "."), "|"), "a|b")   -- plain, not a pattern
  check.eq(#std.split("", ","), 1)
  check.eq(std.trim("  hi there \n"), "hi there")
  local Lines = std.wrap("one two three four", 9, function(S) return #S end)
  check.eq(table.concat(Lines, "|"), "one two|three|four")
  check.eq(#std.wrap("", 10, function(S) return #S end), 0)
end)

check.case("rn: ranges hold and a seed repeats its sequence", function()
  rn.seed(42)
  local First = {}
  for I = 1, 200 do
    local V = rn.int(1, 6)
    check.truthy(V >= 1 and V <= 6 and V == math.floor(V), "int in range")
    First[I] = V
    local F = rn.float(-2, 3)
    check.truthy(F >= -2 and F < 3, "float in range")
  end
  rn.seed(42)
  for I = 1, 200 do check.eq(rn.int(1, 6), First[I], "repeat " .. I); rn.float(-2, 3) end
  -- A draw of exactly 1 (the host's range is closed) stays inside the range.
  local Real = RN
  RN = function() return 1 end
  check.eq(rn.int(1, 6), 6); check.truthy(rn.float(0, 1) < 1)
  check.eq(rn.pick({"a", "b", "c"}), "c")
  check.eq(rn.weighted({{1, "x"}, {1, "y"}}), "y")
  RN = Real
  local T = rn.shuffle({1, 2, 3, 4, 5})
  table.sort(T)
  check.eq(table.concat(T, ","), "1,2,3,4,5")
  check.eq(rn.weighted({{0, "never"}, {1, "always"}}), "always")
end)

check.case("class: instances, inheritance, super and operators", function()
  local Animal = class()
  function Animal:init(Name) self.name = Name end
  function Animal:speak() return self.name .. " chirps" end
  Animal.__tostring = function(A) return "animal " .. A.name end
  local Bird = class(Animal)
  function Bird:init(Name, Song)
    Animal.init(self, Name)
    self.song = Song
  end
  function Bird:speak() return Bird.super.speak(self) .. " " .. self.song end
  local A, B = Animal("wren"), Bird.new("vireo", "here-I-am")
  check.eq(A:speak(), "wren chirps")
  check.eq(B:speak(), "vireo chirps here-I-am")
  check.truthy(B:is_a(Bird) and B:is_a(Animal), "is_a")
  check.truthy(not A:is_a(Bird), "parent is not a child")
  check.eq(tostring(B), "animal vireo")
  check.eq(getmetatable(B), Bird)
end)

check.case("matrix: vectors", function()
  local V = vec2(3, 4)
  check.eq(V:len(), 5)
  check.eq(tostring(V + vec2(1, 1)), "(4, 5)")
  check.eq(tostring(V - vec2(1, 1)), "(2, 3)")
  check.eq(tostring(2 * V), "(6, 8)"); check.eq(tostring(V * 2), "(6, 8)")
  check.eq(tostring(-V), "(-3, -4)")
  check.truthy(V == vec2(3, 4), "equality")
  check.near(V:normalized().x, 0.6); check.near(V:normalized().y, 0.8)
  check.eq(tostring(vec2(0, 0):normalized()), "(1, 0)")
  local R = vec2(1, 0):rotated(math.pi / 2)
  check.near(R.x, 0); check.near(R.y, 1)     -- +x turns toward +y (down the screen)
  check.near(vec2.from_angle(math.pi, 2).x, -2)
  local C = V:copy(); C.x = 9
  check.eq(V.x, 3)
end)

check.case("matrix: transforms compose as nested commands and invert", function()
  -- translate(10, 0) { rotate(pi/2) { scale(2) { point (1, 0) } } } lands at (10, 2).
  local M = matrix.place(10, 0, math.pi / 2, 2)
  local X, Y = matrix.apply(M, 1, 0)
  check.near(X, 10); check.near(Y, 2)
  local Inv = matrix.invert(M)
  local BX, BY = matrix.apply(Inv, X, Y)
  check.near(BX, 1); check.near(BY, 0)
  local N = matrix.translate(5, 0) * matrix.translate(10, 0)
  check.eq(N.tx, 15)
  check.eq(matrix.invert(matrix.scale(0, 1)), nil)
  local Mirror = matrix.place(0, 0, 0, -2, 2)
  check.eq(matrix.apply(Mirror, 1, 0), -2)
  local P = matrix.apply_vec(matrix.rotate(math.pi), vec2(1, 1))
  check.near(P.x, -1); check.near(P.y, -1)
end)

check.case("color: hex text both ways, mixing and commands", function()
  local C = color.hex("ff8000")
  check.eq(C.r, 1); check.near(C.g, 128 / 255); check.eq(C.b, 0); check.eq(C.a, 1)
  check.eq(color.tohex(C), "ff8000")
  check.eq(color.tohex(color.hex("FFA0c8")), "ffa0c8")
  local M = color.lerp(color.hex("000000"), color.hex("ffffff"), 0.5)
  check.eq(color.tohex(M), "7f7f7f")
  check.eq(color.tohex(color.scale(color.hex("808080"), 4)), "ffffff")
  local Cmd = color.rgba(color.with_alpha(C, 0.5), 0.5)
  check.eq(Cmd[1], "rgba"); check.eq(Cmd[5], 0.25)
  check.truthy(color.cmd(C) == color.cmd(color.hex("ff8000")), "opaque commands are shared")
  check.truthy(color.cmd(color.with_alpha(C, 0.5)) ~= color.cmd(color.with_alpha(C, 0.5)), "translucent ones are not")
  check.eq(#host.troubles(), 0)
  color.hex("fff")                                  -- bad text: black, and the host warns
  check.eq(#host.troubles(), 1)
  table.remove(host.log)
end)

check.case("color: palettes from an image, recorded with the host", function()
  local Cols = color.from_image("sky", 2, 0, 1, 6)
  check.eq(#Cols, 6)
  check.eq(color.tohex(Cols[1]), "3f8fd8")       -- the noon sky's top colour
  check.eq(color.from_image("no-such-image", 0, 0, 1, 1), nil)
  table.remove(host.log)
  color.set_palette(40, Cols[2])
  check.near(host.palette[40][1], Cols[2].r)
end)

check.case("debug: warnings reach the trace, chatter only when verbose", function()
  local N = #host.log
  debug.log("quiet")
  check.eq(#host.log, N)
  debug.warn("missing", 3)
  check.eq(host.log[#host.log], "! game: missing 3")
  check.truthy(not debug.check(false, "bad"), "check returns the condition")
  check.eq(debug.dump({b = {1}, a = "x"}), '{a="x", b={1=1}}')
  check.eq(type(debug.traceback), "function")     -- the standard library stays
  for _ = N + 1, #host.log do table.remove(host.log) end
end)
