-- 2-D vectors and affine transforms. Angles are radians, measured from +x
-- toward +y, as the "rotate" command turns; under the game's y-down camera
-- a positive angle turns clockwise on screen.
vec2 = class()

function vec2:init(X, Y)
  self.x = X or 0
  self.y = Y or 0
end

vec2.__add = function(A, B) return vec2(A.x + B.x, A.y + B.y) end
vec2.__sub = function(A, B) return vec2(A.x - B.x, A.y - B.y) end
vec2.__unm = function(A) return vec2(-A.x, -A.y) end
vec2.__eq = function(A, B) return A.x == B.x and A.y == B.y end
vec2.__tostring = function(A) return "(" .. A.x .. ", " .. A.y .. ")" end
vec2.__mul = function(A, B)
  if type(A) == "number" then return vec2(A * B.x, A * B.y) end
  if type(B) == "number" then return vec2(A.x * B, A.y * B) end
  return vec2(A.x * B.x, A.y * B.y)
end

function vec2:copy() return vec2(self.x, self.y) end
function vec2:dot(O) return self.x * O.x + self.y * O.y end
function vec2:len2() return self.x * self.x + self.y * self.y end
function vec2:len() return math.sqrt(self:len2()) end
function vec2:angle() return math.atan2(self.y, self.x) end

-- The unit vector along this one; a zero vector gives (1, 0).
function vec2:normalized()
  local L = self:len()
  if L == 0 then return vec2(1, 0) end
  return vec2(self.x / L, self.y / L)
end

function vec2:rotated(Theta)
  local C, S = math.cos(Theta), math.sin(Theta)
  return vec2(C * self.x - S * self.y, S * self.x + C * self.y)
end

function vec2.from_angle(Theta, Len)
  Len = Len or 1
  return vec2(math.cos(Theta) * Len, math.sin(Theta) * Len)
end

-- Affine transform: x' = a x + c y + tx, y' = b x + d y + ty.
matrix = {}
matrix.__index = matrix

function matrix.new(A, B, C, D, TX, TY)
  return setmetatable({a = A, b = B, c = C, d = D, tx = TX, ty = TY}, matrix)
end

function matrix.identity() return matrix.new(1, 0, 0, 1, 0, 0) end
function matrix.translate(X, Y) return matrix.new(1, 0, 0, 1, X, Y) end
function matrix.scale(SX, SY) return matrix.new(SX, 0, 0, SY or SX, 0, 0) end
function matrix.rotate(Theta)
  local C, S = math.cos(Theta), math.sin(Theta)
  return matrix.new(C, S, -S, C, 0, 0)
end

-- M * N: the transform that applies N first, then M, as nested commands do.
function matrix.mul(M, N)
  return matrix.new(
    M.a * N.a + M.c * N.b, M.b * N.a + M.d * N.b,
    M.a * N.c + M.c * N.d, M.b * N.c + M.d * N.d,
    M.a * N.tx + M.c * N.ty + M.tx, M.b * N.tx + M.d * N.ty + M.ty)
end
matrix.__mul = matrix.mul

function matrix.apply(M, X, Y)
  return M.a * X + M.c * Y + M.tx, M.b * X + M.d * Y + M.ty
end

function matrix.apply_vec(M, V)
  return vec2(matrix.apply(M, V.x, V.y))
end

-- The inverse transform, or nil when the transform squashes the plane flat.
function matrix.invert(M)
  local Det = M.a * M.d - M.b * M.c
  if Det == 0 then return nil end
  local A, B, C, D = M.d / Det, -M.b / Det, -M.c / Det, M.a / Det
  return matrix.new(A, B, C, D, -(A * M.tx + C * M.ty), -(B * M.tx + D * M.ty))
end

-- The transform of the commands translate(X, Y) { rotate(Theta) { scale(SX, SY) { ... } } }.
function matrix.place(X, Y, Theta, SX, SY)
  return matrix.translate(X, Y) * matrix.rotate(Theta or 0) * matrix.scale(SX or 1, SY or SX or 1)
end
