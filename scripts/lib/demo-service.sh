# Sourced by scripts/demo and scripts/screenshots: builds the release programs, starts
# zuzavezu-server on a fresh demo database and writes Keldrin.ini beside the client. The server
# is stopped when the calling script exits.
#   ZUZAVEZU_DEMO_PORT   the port to serve on (default 9211)

build=build/demo-release
bin=$build/bin
demo_port=${ZUZAVEZU_DEMO_PORT:-9211}

demo_build() {
  cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUZAVEZU_TESTS=OFF -DZUZAVEZU_BENCH=OFF \
    -DZUZAVEZU_SANITIZE= >/dev/null
  cmake --build "$build" --target "$@"
}

demo_start_server() {
  mkdir -p build/demo
  local log=build/demo/server.log
  "$bin/zuzavezu-server" --database build/demo/demo.db --init-demo --port "$demo_port" 2>"$log" &
  demo_server=$!
  trap 'kill -TERM $demo_server 2>/dev/null; wait $demo_server 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    grep -q "serving" "$log" && break
    kill -0 "$demo_server" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.05
  done
  printf '[ServerConfig]\r\nServerName=127.0.0.1\r\nPort=%s\r\n' "$demo_port" > "$bin/Keldrin.ini"
  echo "zuzavezu-server serves build/demo/demo.db on 127.0.0.1:$demo_port (log: $log)"
  echo "Keldrin.ini written to $bin/Keldrin.ini"
}
