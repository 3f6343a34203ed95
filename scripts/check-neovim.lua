-- Drives nvtheme lsp from Neovim's own client, as an author would: the
-- manifest reference's init.lua starts the server for the opened main.xml;
-- this breaks and mends the unsaved buffer and reads what the editor shows.
-- Run before init.lua (--cmd), so that it sees every message and the exit.
local published = 0
local exit_code = nil
local lsp = vim.lsp

local publish = lsp.handlers["textDocument/publishDiagnostics"]
lsp.handlers["textDocument/publishDiagnostics"] = function(...)
  published = published + 1
  return publish(...)
end

-- The server's exit status, whatever on_exit the configuration gives.
local start_client = lsp.start_client
lsp.start_client = function(config)
  local on_exit = config.on_exit
  config.on_exit = function(code, ...)
    exit_code = code
    if on_exit then return on_exit(code, ...) end
  end
  return start_client(config)
end

local function fail(message)
  io.stderr:write("check-neovim: " .. message .. "\n")
  vim.cmd("cquit 1")
end

local function wait_for(what, condition)
  if not vim.wait(30000, condition, 20) then fail("no " .. what .. " came") end
end

local function expect(condition, message)
  if not condition then fail(message) end
end

-- The buffer's diagnostics, once the server has published after `before`.
local function diagnostics_after(before, buf, what)
  wait_for(what, function() return published > before end)
  return vim.diagnostic.get(buf)
end

local function codes(diagnostics)
  local seen = {}
  for _, d in ipairs(diagnostics) do
    local code = d.code or (d.user_data and d.user_data.lsp and d.user_data.lsp.code)
    table.insert(seen, tostring(code))
  end
  return table.concat(seen, " ")
end

-- Asks at the first place `needle` stands on the 1-based line, plus `skip`
-- bytes, through the client's own position conversion.
local function request_at(buf, line, needle, skip, method)
  local column = vim.api.nvim_buf_get_lines(buf, line - 1, line, true)[1]:find(needle, 1, true)
  expect(column, "line " .. line .. " holds no " .. needle)
  vim.api.nvim_win_set_cursor(0, { line, column - 1 + skip })
  local answers = lsp.buf_request_sync(buf, method, lsp.util.make_position_params(), 10000)
  for _, answer in pairs(answers or {}) do
    if answer.result then return answer.result end
  end
  fail("no answer to " .. method)
end

local function scenario()
  local buf = vim.api.nvim_get_current_buf()
  wait_for("client for main.xml", function() return next(lsp.buf_get_clients(buf)) ~= nil end)
  local opened = diagnostics_after(0, buf, "diagnostics for the opened manifest")
  expect(#opened == 0, "the example opened with diagnostics: " .. codes(opened))

  -- A misspelt attribute typed into the buffer, never saved.
  local line4 = vim.api.nvim_buf_get_lines(buf, 3, 4, true)[1]
  local at = line4:find("screenshot=", 1, true)
  local before = published
  vim.api.nvim_buf_set_text(buf, 3, at + 6, 3, at + 7, {}) -- the h
  local broken = diagnostics_after(before, buf, "diagnostics for the misspelt attribute")
  expect(codes(broken):find("unknown-attribute", 1, true), "no unknown-attribute among: " .. codes(broken))
  local misspelt
  for _, d in ipairs(broken) do
    if d.message:find("screensot", 1, true) and d.lnum == 3 and d.col == at - 1 then misspelt = d end
  end
  expect(misspelt, "no diagnostic at line 4, column " .. at .. " names 'screensot'")

  -- The "did you mean" applied through the editor's code action menu.
  vim.api.nvim_win_set_cursor(0, { 4, at - 1 })
  local offered = {}
  vim.ui.select = function(items, options, choose)
    for i, item in ipairs(items) do
      local action = item[2] or item
      table.insert(offered, action.title)
      if action.title == "Change 'screensot' to 'screenshot'" then return choose(item, i) end
    end
    choose(nil, nil)
  end
  before = published
  lsp.buf.code_action()
  wait_for("mended attribute", function()
    return vim.api.nvim_buf_get_lines(buf, 3, 4, true)[1] == line4
  end)
  local mended = diagnostics_after(before, buf, "diagnostics after the fix")
  expect(#mended == 0, "the fix left diagnostics: " .. codes(mended) .. "; offered: " ..
    table.concat(offered, ", "))

  -- Completion of the elements a theme may hold, on a line being typed.
  vim.api.nvim_buf_set_lines(buf, 4, 4, true, { "    <" })
  local completion = request_at(buf, 5, "<", 1, "textDocument/completion")
  local labels = {}
  for _, item in ipairs(completion.items or completion) do labels[item.label] = true end
  expect(labels.templates and labels.virtualshelf and not labels.catalog,
    "completion in a theme offered: " .. vim.inspect(vim.tbl_keys(labels)))
  vim.api.nvim_buf_set_lines(buf, 4, 5, true, {})

  local hover = request_at(buf, 4, "screenshot", 2, "textDocument/hover")
  expect(hover.contents.value:find("screenshot", 1, true), "hover on screenshot: " .. vim.inspect(hover))
  local image = request_at(buf, 4, "shot-day.png", 2, "textDocument/hover")
  expect(image.contents.value:find("PNG image of", 1, true), "hover on an image: " .. vim.inspect(image))

  local symbols = lsp.buf_request_sync(buf, "textDocument/documentSymbol",
    { textDocument = lsp.util.make_text_document_params() }, 10000)
  local names = {}
  for _, answer in pairs(symbols) do
    for _, symbol in ipairs(answer.result or {}) do table.insert(names, symbol.name) end
  end
  expect(table.concat(names, "|") == "Ocean Day|Ocean Night", "symbols: " .. table.concat(names, "|"))

  -- Definition jumps to the layout, which the same server then serves.
  vim.api.nvim_win_set_cursor(0, { 6, (vim.fn.getline(6):find("layout-grid", 1, true)) })
  lsp.buf.definition()
  wait_for("jump to the layout", function()
    return vim.api.nvim_buf_get_name(0):match("layout%-grid%.xml$") ~= nil
  end)
  local layout = vim.api.nvim_get_current_buf()
  wait_for("client for the layout", function() return next(lsp.buf_get_clients(layout)) ~= nil end)

  for _, client in pairs(lsp.get_active_clients()) do client.stop() end
  wait_for("end of the server", function() return exit_code ~= nil end)
  expect(exit_code == 0, "the server ended with status " .. tostring(exit_code))
  io.stderr:write("check-neovim: Neovim showed the server's diagnostics, fixes and answers\n")
  vim.cmd("qall!")
end

-- Scheduled, not run inside VimEnter: autocommands do not nest, and the
-- jump to a layout must start the configuration's BufReadPost.
vim.api.nvim_create_autocmd("VimEnter", {
  once = true,
  callback = function()
    vim.schedule(function()
      local ok, err = pcall(scenario)
      if not ok then fail(tostring(err)) end
    end)
  end,
})
