-- A small class system. Cls = class(Parent) makes a class; Cls(...) or
-- Cls.new(...) makes an instance and runs Cls:init(...). Methods are looked
-- up in the class, then its parents; Cls.super is the parent.
local function is_a(Self, Cls)
  local C = getmetatable(Self)
  while C do
    if C == Cls then return true end
    C = C.super
  end
  return false
end

function class(Parent)
  local C = {}
  C.__index = C
  C.super = Parent
  C.is_a = is_a
  function C.new(...)
    local O = setmetatable({}, C)
    if O.init then O:init(...) end
    return O
  end
  -- Operators are copied, not inherited: Lua looks them up in the metatable only.
  if Parent then
    for _, Op in ipairs({"__add", "__sub", "__mul", "__div", "__unm", "__eq", "__lt", "__le", "__tostring", "__len", "__concat"}) do
      C[Op] = Parent[Op]
    end
  end
  return setmetatable(C, {
    __index = Parent,
    __call = function(Cls, ...) return Cls.new(...) end,
  })
end
