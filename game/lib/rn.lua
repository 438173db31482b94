-- Random helpers. Every random choice of the game is drawn from the host's
-- game-wide generator ("RN", seeded with "RN_seed"), so a run started from
-- the same seed plays out the same.
rn = {}

function rn.seed(Seed)
  RN_seed(Seed)
end

-- A number in [0, 1).
function rn.unit()
  local X = RN()
  if X >= 1 then X = 0.9999999999 end
  return X
end

function rn.float(A, B)
  return A + (B - A) * rn.unit()
end

-- A whole number from A to B, both included.
function rn.int(A, B)
  return A + math.floor(rn.unit() * (B - A + 1))
end

function rn.chance(P)
  return rn.unit() < P
end

function rn.sign()
  if rn.unit() < 0.5 then return -1 end
  return 1
end

function rn.pick(T)
  return T[rn.int(1, #T)]
end

function rn.shuffle(T)
  for I = #T, 2, -1 do
    local J = rn.int(1, I)
    T[I], T[J] = T[J], T[I]
  end
  return T
end

-- Choices: a list of {weight, value}; returns a value with chance in
-- proportion to its weight.
function rn.weighted(Choices)
  local Total = 0
  for I = 1, #Choices do Total = Total + Choices[I][1] end
  local X = rn.unit() * Total
  for I = 1, #Choices do
    X = X - Choices[I][1]
    if X < 0 then return Choices[I][2] end
  end
  return Choices[#Choices][2]
end
