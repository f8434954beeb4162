-- wrk script: every request is the program's resolution request for the page PAGE_URL (already form-encoded
-- in the environment), and an answer without the resolution marker counts as a failure.
local encoded = os.getenv("PAGE_URL_ENCODED")
wrk.method = "POST"
wrk.path = "/xurl/"
wrk.body = "url=" .. encoded
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded; charset=UTF-8"
wrk.headers["User-Agent"] = "Opera/9.00 (Windows NT 5.1; ru)"
wrk.headers["Accept"] = "*/*"

local marker = "\208\157\208\176\208\182\208\188\208\184\209\130\208\181, \209\135\209\130\208\190\208\177\209\139"
local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

function init(args)
  failed = 0
end

function response(status, headers, body)
  if status ~= 200 or not string.find(body, marker, 1, true) then
    failed = failed + 1
  end
end

function done(summary, latency, requests)
  local failedAnswers = 0
  for _, thread in ipairs(threads) do
    failedAnswers = failedAnswers + thread:get("failed")
  end
  local errors = summary.errors
  io.write(string.format("requests: %d in %.1f s = %.1f per second\n", summary.requests,
                         summary.duration / 1e6, summary.requests / (summary.duration / 1e6)))
  io.write(string.format("latency: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", latency:percentile(50) / 1000,
                         latency:percentile(99) / 1000, latency.max / 1000))
  io.write(string.format("failed: %d answers without the marker, %d connect, %d read, %d write, %d timeout, %d status\n",
                         failedAnswers, errors.connect, errors.read, errors.write, errors.timeout, errors.status))
end
