-- Runs every script test; the exit status tells whether all passed.
-- Usage, from the repository root: lua5.2 tests/scripts/run.lua
for _, File in ipairs({"tests/scripts/test_libs.lua", "tests/scripts/test_game.lua"}) do
  dofile(File)
end
print(string.format("%d cases, %d failed", check.cases, check.failures))
os.exit(check.failures == 0 and 0 or 1)
