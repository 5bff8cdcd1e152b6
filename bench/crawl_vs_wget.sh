#!/usr/bin/env bash
# Crawls the same generated site (2,000 pages in a tree five levels deep,
# the site of bench_engine_task) with quillcast-cli at depth 5 and with
# `wget --spider -r -l 5`, both against one loopback server, timed with
# hyperfine. quillcast-cli also checks every URL and pushes it to the same
# server's /urls, which answers like the push interface.
#
#   bash bench/crawl_vs_wget.sh            # builds quillcast-cli in build-bench/
#   QC_BUILD_DIR=build-x bash bench/crawl_vs_wget.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QC_BUILD_DIR:-build-bench}
runs=${RUNS:-3}

for tool in python3 wget hyperfine cmake; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_WINDOW=OFF >/dev/null
cmake --build "$build" --target quillcast-cli -j2 >/dev/null
cli=$PWD/$build/quillcast-cli

work=$(mktemp -d)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The site: "/" and /p1.html ... /p1999.html; page i links to the home
# page, its parent and its children i*5+1 .. i*5+5.
mkdir -p "$work/site" "$work/run" "$work/wget"
python3 - "$work/site" <<'PY'
import sys
root, pages, branching = sys.argv[1], 2000, 5
def path(i):
    return "/" if i == 0 else f"/p{i}.html"
for i in range(pages):
    body = [f"<html><head><title>Page {i}</title></head><body>", '<a href="/">首页</a>']
    if i > 0:
        body.append(f'<a href="{path((i - 1) // branching)}">上一级</a>')
    for c in range(i * branching + 1, min(i * branching + branching, pages - 1) + 1):
        body.append(f"<p>第{c}篇 some text about the article</p>")
        body.append(f'<a href="{path(c)}">article {c}</a>')
    body.append("</body></html>")
    name = "index.html" if i == 0 else f"p{i}.html"
    with open(f"{root}/{name}", "w", encoding="utf-8") as f:
        f.write("\n".join(body) + "\n")
PY

# One server for both: static files, keep-alive, and POST /urls answered
# like the push interface.
python3 - "$work/site" "$work/port" <<'PY' &
import http.server, json, socketserver, sys
root, port_file = sys.argv[1], sys.argv[2]
class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True
    remain = 100000
    def __init__(self, *a, **k):
        super().__init__(*a, directory=root, **k)
    def guess_type(self, path):
        t = super().guess_type(path)
        return t + "; charset=utf-8" if t == "text/html" else t
    def log_message(self, *a):
        pass
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        Handler.remain -= 1
        body = json.dumps({"remain": Handler.remain, "success": 1}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
server = Server(("127.0.0.1", 0), Handler)
with open(port_file, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
PY
server_pid=$!
for _ in $(seq 50); do [[ -s $work/port ]] && break; sleep 0.1; done
port=$(cat "$work/port")
base=http://127.0.0.1:$port

{
  printf '[Api]\r\nSite=\r\nToken=\r\nremain=\r\n[filter]\r\n'
  printf 'regular=href+%%2A%%3D+%%2A%%5B%%27%%22%%5D%%2A%%28%%5CS%%2B%%29%%5B%%22%%27%%5D\r\n'
  printf 'Content_type=javascript%%2Cimage%%2Ccss%%2Cfont%%2Cwoff%%2Cxml%%2Cjson\r\nIncluded=False\r\n'
  printf '[Endpoints]\r\nPushApi=%s\r\nSearch=http://127.0.0.1:1\r\n' "$base"
} >"$work/run/Bd_Config.ini"

cli_cmd="$cli --dir $work/run --site $base/ --token t --depth 5 --quota 5000 --no-filter-indexed"
wget_cmd="wget --spider -r -l 5 -nv -e robots=off -P $work/wget $base/"

echo "== one run of each, for the counts"
"$cli" --dir "$work/run" --site "$base/" --token t --depth 5 --quota 5000 --no-filter-indexed | tail -4
rm -f "$work"/run/*推送成功日志.txt
$wget_cmd 2>&1 | grep -c ' URL:' | sed 's/^/wget requests logged: /' || true

echo "== timing ($runs runs each)"
hyperfine --runs "$runs" --style basic \
  --prepare "rm -f $work/run/*推送成功日志.txt; rm -rf $work/wget" \
  -n quillcast-cli "$cli_cmd" \
  -n "wget --spider" "$wget_cmd"
