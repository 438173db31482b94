-- Pixel-exact collision tests between sprites placed by transforms, using
-- the sprites' alpha masks.
collide = {}

-- Whether sprite A (placed by transform MA) touches sprite B (placed by MB):
-- some sample point of A lands on a solid pixel of B.
function collide.sprites(A, MA, B, MB)
  local Inv = matrix.invert(MB)
  if not Inv then return false end
  local M = Inv * MA
  for _, P in ipairs(A.points) do
    if B:solid_at(matrix.apply(M, P[1], P[2])) then return true end
  end
  return false
end

-- Whether sprite A touches the box X0..X1, Y0..Y1.
function collide.sprite_box(A, MA, X0, Y0, X1, Y1)
  for _, P in ipairs(A.points) do
    local X, Y = matrix.apply(MA, P[1], P[2])
    if X >= X0 and X <= X1 and Y >= Y0 and Y <= Y1 then return true end
  end
  return false
end

-- A cheap test first: are two centres closer than R?
function collide.near(P, Q, R)
  local DX, DY = P.x - Q.x, P.y - Q.y
  return DX * DX + DY * DY <= R * R
end
