-- Drives Neovim 0.7 (headless) attached to `vorn lsp` through the editor's
-- own client: waits for the diagnostics of the opened file, asks the hover
-- of the EmergencyPause line and the outline, and writes what the editor
-- got to $OUT, one line each.  Ends the editor in every case.
local vorn, file, out = os.getenv('VORN'), os.getenv('CFG'), os.getenv('OUT')
local lines = {}
local function say(text) table.insert(lines, text) end

local function run()
  vim.cmd('edit ' .. vim.fn.fnameescape(file))
  local buf = vim.api.nvim_get_current_buf()
  local id = vim.lsp.start_client({ name = 'vorn', cmd = { vorn, 'lsp' },
                                    root_dir = vim.fn.fnamemodify(file, ':h') })
  if not id then return say('the client did not start') end
  vim.lsp.buf_attach_client(buf, id)
  local client = vim.lsp.get_client_by_id(id)
  if not vim.wait(5000, function() return #vim.diagnostic.get(buf) > 0 end, 20) then
    say('no diagnostics within 5 s')
  end
  for _, d in ipairs(vim.diagnostic.get(buf, { severity = vim.diagnostic.severity.ERROR })) do
    local code = d.code or (d.user_data and d.user_data.lsp and d.user_data.lsp.code) or ''
    say(string.format('error on line %d: %s%s', d.lnum + 1, d.message,
                      code ~= '' and ' [' .. code .. ']' or ''))
  end
  local doc = { uri = vim.uri_from_bufnr(buf) }
  local row
  for i, text in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    if text:match('^EmergencyPause') then row = i - 1 end
  end
  local hover = client.request_sync('textDocument/hover',
    { textDocument = doc, position = { line = row or 0, character = 2 } }, 5000, buf)
  if hover and hover.result then
    for _, text in ipairs(vim.split(hover.result.contents.value, '\n')) do
      say('hover: ' .. text)
    end
  else
    say('no hover: ' .. vim.inspect(hover))
  end
  local symbols = client.request_sync('textDocument/documentSymbol', { textDocument = doc }, 5000, buf)
  for _, s in ipairs(symbols and symbols.result or {}) do
    say(string.format('period %s: %d maps', s.name, #(s.children or {})))
  end
  client.stop()
  vim.wait(2000, function() return client.is_stopped() end, 20)
end

local ok, err = pcall(run)
if not ok then say('failed: ' .. tostring(err)) end
vim.fn.writefile(lines, out)
vim.cmd('qall!')
