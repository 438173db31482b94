-- Table, number and string helpers shared by every game script.
std = {}

function std.clamp(X, Lo, Hi)
  if X < Lo then return Lo end
  if X > Hi then return Hi end
  return X
end

function std.lerp(A, B, T)
  return A + (B - A) * T
end

function std.sign(X)
  if X > 0 then return 1 elseif X < 0 then return -1 end
  return 0
end

-- Moves X toward Target by at most Step.
function std.approach(X, Target, Step)
  if X < Target then return math.min(X + Step, Target) end
  return math.max(X - Step, Target)
end

function std.copy(T)
  local R = {}
  for K, V in pairs(T) do R[K] = V end
  return R
end

-- Copies the fields of Src into Dst (overwriting) and returns Dst.
function std.merge(Dst, Src)
  for K, V in pairs(Src) do Dst[K] = V end
  return Dst
end

function std.map(T, F)
  local R = {}
  for I = 1, #T do R[I] = F(T[I], I) end
  return R
end

function std.filter(T, Pred)
  local R = {}
  for I = 1, #T do
    if Pred(T[I]) then R[#R + 1] = T[I] end
  end
  return R
end

-- Removes, in place and keeping order, every element for which Pred is true;
-- returns how many went.
function std.remove_if(T, Pred)
  local J, N = 1, #T
  for I = 1, N do
    local V = T[I]
    if not Pred(V) then
      T[J] = V
      J = J + 1
    end
  end
  for I = J, N do T[I] = nil end
  return N - J + 1
end

function std.append(Dst, Src)
  for I = 1, #Src do Dst[#Dst + 1] = Src[I] end
  return Dst
end

function std.count(T)
  local N = 0
  for _ in pairs(T) do N = N + 1 end
  return N
end

function std.keys(T)
  local R = {}
  for K in pairs(T) do R[#R + 1] = K end
  table.sort(R, function(A, B) return tostring(A) < tostring(B) end)
  return R
end

-- Splits S at every occurrence of the plain separator Sep (empty parts kept).
function std.split(S, Sep)
  local R, Start = {}, 1
  while true do
    local I, J = string.find(S, Sep, Start, true)
    if not I then
      R[#R + 1] = string.sub(S, Start)
      return R
    end
    R[#R + 1] = string.sub(S, Start, I - 1)
    Start = J + 1
  end
end

function std.trim(S)
  return (string.gsub(S, "^%s*(.-)%s*$", "%1"))
end

-- Whole numbers with thousands separators: 1234567 -> "1,234,567".
function std.format_int(N)
  local Neg = N < 0
  local S = tostring(math.floor(math.abs(N) + 0.5))
  local R = string.reverse((string.gsub(string.reverse(S), "(%d%d%d)", "%1,")))
  R = string.gsub(R, "^,", "")
  if Neg then R = "-" .. R end
  return R
end

-- Breaks Text into lines no wider than MaxW, measuring with Measure(S).
function std.wrap(Text, MaxW, Measure)
  local Lines, Cur = {}, ""
  for Word in string.gmatch(Text, "%S+") do
    local Try = (Cur == "") and Word or (Cur .. " " .. Word)
    if Cur ~= "" and Measure(Try) > MaxW then
      Lines[#Lines + 1] = Cur
      Cur = Word
    else
      Cur = Try
    end
  end
  if Cur ~= "" then Lines[#Lines + 1] = Cur end
  return Lines
end
