#!/usr/bin/env python3
"""Time to depth with one thread and with two, over the bench positions.

For every bench position: ucinewgame, position, go depth D, once with Threads 1 and once with
Threads 2 (Hash fixed), repeated; reports per position the median wall time from go to
bestmove and the ratio two/one, the median ratio over the positions, and a proxy that the
machine's load hardly moves: the processor time the searching (main) thread spent, two threads
against one (Linux schedstat). On a quiet machine, where the helper has a core of its own, the
wall time follows it.

  tools/threads_ttd.py [--engine build/tarvo] [--depth 9] [--repeat 3] [--hash 16]
"""
import argparse, os, re, statistics, subprocess, sys, time
from pathlib import Path

def bench_fens(root):
    text = (root / "src/uci/bench.cpp").read_text()
    block = text.split("BenchFens[] = {", 1)[1].split("};", 1)[0]
    return re.findall(r'"([^"]+)"', block)

class Engine:
    def __init__(self, path, threads, hash_mb):
        self.p = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, bufsize=1)
        self.send("uci"); self.wait("uciok")
        self.send(f"setoption name Hash value {hash_mb}")
        self.send(f"setoption name Threads value {threads}")
        self.send("isready"); self.wait("readyok")

    def cpu_ns(self, task=None):
        with open(f"/proc/{self.p.pid}/task/{task or self.p.pid}/schedstat") as f:
            return int(f.read().split()[0])

    def all_cpu_ns(self):
        total = 0
        for task in os.listdir(f"/proc/{self.p.pid}/task"):
            try:
                total += self.cpu_ns(task)
            except OSError:
                pass
        return total

    def send(self, line):
        self.p.stdin.write(line + "\n"); self.p.stdin.flush()

    def wait(self, word):
        lines = []
        for line in self.p.stdout:
            lines.append(line)
            if line.startswith(word):
                return lines
        raise RuntimeError("engine ended")

    def run(self, fen, depth):
        self.send("ucinewgame"); self.send("position fen " + fen)
        self.send("isready"); self.wait("readyok")
        cpu, every = self.cpu_ns(), self.all_cpu_ns()
        start = time.perf_counter()
        self.send(f"go depth {depth}")
        lines = self.wait("bestmove")
        wall = time.perf_counter() - start
        cpu = (self.cpu_ns() - cpu) / 1e9
        self.others = (self.all_cpu_ns() - every) / 1e9 - cpu
        nodes, shown = 0, None
        for line in lines:
            m = re.search(r" depth (\d+) .*nodes (\d+)", line)
            if m and " pv " in line:
                nodes = int(m.group(2)); shown = int(m.group(1))
        return wall, cpu, shown, lines[-1].strip()

    def close(self):
        self.send("quit"); self.p.wait()

def main():
    ap = argparse.ArgumentParser()
    root = Path(__file__).resolve().parent.parent
    ap.add_argument("--engine", default=str(root / "build/tarvo"))
    ap.add_argument("--depth", type=int, default=9)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--hash", type=int, default=16)
    ap.add_argument("--verbose", action="store_true")
    a = ap.parse_args()
    fens = bench_fens(root)
    one, two = Engine(a.engine, 1, a.hash), Engine(a.engine, 2, a.hash)
    ratios, proxies, helper_cpu, main_cpu = [], [], [], []
    tot1 = tot2 = cpu1 = cpu2 = 0.0
    for i, fen in enumerate(fens):
        w1, w2, n1, n2 = [], [], [], []
        for _ in range(a.repeat):
            w, n, d, _ = one.run(fen, a.depth); w1.append(w); n1.append(n)
            w, n, d2, bm = two.run(fen, a.depth); w2.append(w); n2.append(n)
            helper_cpu.append(two.others); main_cpu.append(n)
            if d2 != a.depth:
                print(f"position {i}: last line depth {d2} with two threads", file=sys.stderr)
        t1, t2 = statistics.median(w1), statistics.median(w2)
        r = t2 / t1
        p = statistics.median(n2) / statistics.median(n1)
        ratios.append(r); proxies.append(p); tot1 += t1; tot2 += t2
        cpu1 += statistics.median(n1); cpu2 += statistics.median(n2)
        if a.verbose:
            print(f"{i:2d} t1 {t1*1000:7.1f} ms  t2 {t2*1000:7.1f} ms  ratio {r:.2f}  "
                  f"cpu1 {statistics.median(n1)*1000:7.1f} ms  cpu2 {statistics.median(n2)*1000:7.1f} ms"
                  f"  proxy {p:.2f}", flush=True)
    one.close(); two.close()
    print(f"helper cpu / main cpu with two threads: {sum(helper_cpu) / sum(main_cpu):.2f}"
          " (near 1: the two threads ran side by side)")
    q = statistics.quantiles(ratios, n=4)
    print(f"wall ratio: median {statistics.median(ratios):.3f}  quartiles {q[0]:.2f} {q[2]:.2f}"
          f"  min {min(ratios):.2f} max {max(ratios):.2f}  total {tot2/tot1:.3f}")
    q = statistics.quantiles(proxies, n=4)
    print(f"main-thread cpu ratio: median {statistics.median(proxies):.3f}"
          f"  quartiles {q[0]:.2f} {q[2]:.2f}  min {min(proxies):.2f} max {max(proxies):.2f}"
          f"  total {cpu2 / cpu1:.3f}")

if __name__ == "__main__":
    main()
