-- A tiny test runner for the script tests: named cases, failures counted.
check = check or {failures = 0, cases = 0}

function check.case(Name, F)
  check.cases = check.cases + 1
  local Ok, Err = pcall(F)
  if Ok then
    print("ok   " .. Name)
  else
    check.failures = check.failures + 1
    print("FAIL " .. Name .. ": " .. tostring(Err))
  end
end

function check.eq(Got, Want, What)
  if Got ~= Want then
    error((What or "value") .. ": got " .. tostring(Got) .. ", want " .. tostring(Want), 2)
  end
end

function check.near(Got, Want, What, Eps)
  if type(Got) ~= "number" or math.abs(Got - Want) > (Eps or 1e-9) then
    error((What or "value") .. ": got " .. tostring(Got) .. ", want " .. tostring(Want), 2)
  end
end

function check.truthy(V, What)
  if not V then error((What or "condition") .. " does not hold", 2) end
end

function check.none(List, What)
  if #List > 0 then
    error((What or "faults") .. ":\n  " .. table.concat(List, "\n  ", 1, math.min(#List, 10)), 2)
  end
end
