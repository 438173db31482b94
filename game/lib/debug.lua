-- Diagnostics for the game scripts, added to the standard "debug" table.
-- Everything goes to the host's trace log through "WARN", so only real
-- trouble is reported unless debug.verbose is switched on.
debug = debug or {}
debug.verbose = false

local function join(...)
  local Parts = {}
  for I = 1, select("#", ...) do Parts[I] = tostring((select(I, ...))) end
  return table.concat(Parts, " ")
end

function debug.warn(...)
  WARN("game: " .. join(...))
end

function debug.log(...)
  if debug.verbose then WARN("game debug: " .. join(...)) end
end

-- Reports Message when Cond is false; returns Cond so callers can branch.
function debug.check(Cond, ...)
  if not Cond then debug.warn(...) end
  return Cond
end

-- A one-line text of a value, tables to the given depth, keys sorted.
function debug.dump(V, Depth)
  Depth = Depth or 2
  if type(V) == "string" then return string.format("%q", V) end
  if type(V) ~= "table" then return tostring(V) end
  if Depth <= 0 then return "{...}" end
  local Keys = {}
  for K in pairs(V) do Keys[#Keys + 1] = K end
  table.sort(Keys, function(A, B) return tostring(A) < tostring(B) end)
  local Parts = {}
  for _, K in ipairs(Keys) do
    Parts[#Parts + 1] = tostring(K) .. "=" .. debug.dump(V[K], Depth - 1)
  end
  return "{" .. table.concat(Parts, ", ") .. "}"
end
