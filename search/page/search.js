// The archive's search page: folds the query as the index folded the posts, loads the pieces
// of the index it needs as script files (which works from file:// as from any server),
// checks each candidate post against its text and lists the newest first.
"use strict";
(() => {
  const PAGE = 100;
  const BEFORE = 30;
  const AFTER = 50;
  const BUCKETS = 256;
  const AHEAD = 2; // thread files loaded ahead of the one being checked
  const FEW = 64; // candidates few enough to check without narrowing them further

  let catalog = null;
  const foldMap = new Map();
  const pairMap = new Map();
  const gramFiles = new Map();
  const threadFiles = new Map();
  const loading = new Map();

  // The index's files call these as they load.
  window.horofuSearch = {
    catalog(version, next, segments, threads) {
      catalog = { segments: [], threads: threads.map(t => ({
        gen: t[0], segment: t[1], lastTime: t[2], posts: t[3], board: t[4], key: t[5], title: t[6],
      })) };
      for (const s of segments) {
        const starts = [], slots = [];
        let start = 0;
        for (let i = 2; i + 1 < s.length; i += 2) {
          const slot = s[i];
          const live = slot >= 0 && slot < threads.length && threads[slot][1] === s[0];
          starts.push(start);
          slots.push(live ? slot : -1);
          start += s[i + 1];
        }
        starts.push(start);
        slots.push(-1);
        catalog.segments.push({ id: s[0], buckets: s[1], starts, slots });
      }
    },
    fold(table) {
      let i = 0;
      for (; table[i] !== -1; i += 2 + table[i + 1]) {
        foldMap.set(table[i], table.slice(i + 2, i + 2 + table[i + 1]));
      }
      for (i++; i + 2 < table.length; i += 3) pairMap.set(table[i] * 0x200000 + table[i + 1], table[i + 2]);
    },
    grams(segment, bucket, lists) { gramFiles.set(segment + "-" + bucket, lists); },
    thread(slot, gen, names, posts) { threadFiles.set(slot + "-" + gen, { names, posts }); },
  };

  // Loads search/NAME once; resolves to false when it is missing (an empty bucket).
  function load(name) {
    if (!loading.has(name)) {
      loading.set(name, new Promise(resolve => {
        const script = document.createElement("script");
        script.src = "search/" + name;
        script.onload = () => { script.remove(); resolve(true); };
        script.onerror = () => { script.remove(); resolve(false); };
        document.head.appendChild(script);
      }));
    }
    return loading.get(name);
  }

  // A line folded, with the range of original code points each folded character came from.
  function foldLine(chars) {
    const text = [], from = [], to = [];
    for (let i = 0; i < chars.length; i++) {
      const c = chars[i];
      const mapped = c < 0x41 ? undefined : foldMap.get(c);
      for (const m of mapped || [c]) {
        const composed = text.length ? pairMap.get(text[text.length - 1] * 0x200000 + m) : undefined;
        if (composed !== undefined) {
          text[text.length - 1] = composed;
          to[to.length - 1] = i + 1;
        } else {
          text.push(m);
          from.push(i);
          to.push(i + 1);
        }
      }
    }
    return { text, from, to };
  }
  const codePoints = s => Array.from(s, c => c.codePointAt(0));

  function indexOf(haystack, needle) {
    outer: for (let i = 0; i + needle.length <= haystack.length; i++) {
      for (let k = 0; k < needle.length; k++) if (haystack[i + k] !== needle[k]) continue outer;
      return i;
    }
    return -1;
  }

  // The first match of a folded query in a post's text, as the command finds it.
  function matchPost(text, folded) {
    for (const lineText of text.split("\n")) {
      const line = codePoints(lineText);
      const f = foldLine(line);
      const found = indexOf(f.text, folded);
      if (found >= 0) return { line, start: f.from[found], end: f.to[found + folded.length - 1] };
    }
    return null;
  }

  // A gram's hash (FNV-1a of its UTF-8 bytes); its bucket in a segment is the hash modulo the
  // segment's bucket count.
  function hashOf(gram) {
    let hash = 2166136261;
    for (const b of new TextEncoder().encode(gram)) hash = Math.imul(hash ^ b, 16777619) >>> 0;
    return hash;
  }

  const DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  const DIGIT = new Int8Array(128).fill(-1);
  for (let i = 0; i < DIGITS.length; i++) DIGIT[DIGITS.charCodeAt(i)] = i;
  // The numbers of a list: five bits a character, the sixth saying another follows.
  function numbers(code) {
    const out = new Float64Array(code.length);
    let count = 0, n = 0, scale = 1;
    for (let i = 0; i < code.length; i++) {
      const v = DIGIT[code.charCodeAt(i)];
      n += (v & 31) * scale;
      if (v & 32) { scale *= 32; continue; }
      out[count++] = n;
      n = 0;
      scale = 1;
    }
    return out.subarray(0, count);
  }
  // A list of ordinals, each written as its gap from the one before less one.
  function postings(code) {
    const out = numbers(code);
    for (let i = 0, last = -1; i < out.length; i++) out[i] = last += out[i] + 1;
    return out;
  }
  // The first index of a sorted list whose value is at least value.
  function lowerBound(list, value) {
    let lo = 0, hi = list.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (list[mid] < value) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  function intersect(a, b) {
    const out = new Float64Array(Math.min(a.length, b.length));
    let count = 0;
    for (let i = 0, k = 0; i < a.length && k < b.length;) {
      if (a[i] < b[k]) i++;
      else if (a[i] > b[k]) k++;
      else { out[count++] = a[i]; i++; k++; }
    }
    return out.subarray(0, count);
  }

  const newer = (a, b) => b.time - a.time || b.slot - a.slot || b.index - a.index;

  // One search: its candidates, the threads still to check (newest first) and its hits.
  async function start(query) {
    const folded = foldLine(codePoints(query.replace(/^[ \t]+|[ \t]+$/g, ""))).text;
    const run = { folded, hits: [], order: [], next: 0, exact: folded.length <= 2, total: 0, shown: PAGE };
    if (!folded.length || folded.includes(10)) return run;
    const single = folded.length === 1;
    const grams = new Set();
    if (single) grams.add(String.fromCodePoint(folded[0]));
    for (let i = 0; i + 1 < folded.length; i++) grams.add(String.fromCodePoint(folded[i], folded[i + 1]));
    const hashes = new Map([...grams].map(g => [g, hashOf(g)]));
    const names = [];
    for (const [, hash] of hashes) for (const s of catalog.segments) names.push(`g${s.id}-${hash % s.buckets}.js`);
    await Promise.all(names.map(load));
    // Candidates by slot. One character: every post of the threads that hold it, and how many
    // do is known. Longer: the posts in the lists of all its pairs, intersected.
    const candidates = new Map();
    for (const s of catalog.segments) {
      // Shortest lists first; once few candidates are left the longer lists are not read,
      // since every candidate is checked against its text anyway.
      const codes = [...hashes].map(([gram, hash]) => {
        const lists = gramFiles.get(s.id + "-" + hash % s.buckets);
        return lists && Object.prototype.hasOwnProperty.call(lists, gram) ? lists[gram] : "";
      }).sort((a, b) => a.length - b.length);
      let found = null;
      for (const code of codes) {
        if (found !== null && found.length <= FEW) break;
        const list = single ? numbers(code) : postings(code);
        found = found === null ? list : intersect(found, list);
      }
      if (single) {
        for (let k = 0, range = -1; k + 1 < found.length; k += 2) {
          range += found[k] + 1;
          const slot = range < s.slots.length - 1 ? s.slots[range] : -1;
          if (slot < 0) continue;
          run.total += found[k + 1];
          candidates.set(slot, { list: null, from: 0, to: catalog.threads[slot].posts, start: 0 });
        }
        continue;
      }
      // The posts a thread holds are found when it is checked: the list is sorted, and the
      // thread's posts are one range of ordinals.
      run.total += found.length;
      for (let r = 0; r + 1 < s.starts.length; r++) {
        const slot = s.slots[r];
        if (slot < 0) continue;
        const from = lowerBound(found, s.starts[r]), to = lowerBound(found, s.starts[r + 1]);
        if (from < to) candidates.set(slot, { list: found, from, to, start: s.starts[r] });
      }
    }
    run.candidates = candidates;
    const threads = catalog.threads;
    run.order = [...candidates.keys()].sort((a, b) => threads[b].lastTime - threads[a].lastTime || b - a);
    if (!run.exact) run.total = 0; // counted as candidates are checked
    return run;
  }

  // Checks the next thread's candidates against its text.
  async function checkNext(run) {
    const threads = catalog.threads;
    for (let k = run.next; k < Math.min(run.order.length, run.next + AHEAD); k++) {
      load(`t${run.order[k]}-${threads[run.order[k]].gen}.js`);
    }
    const slot = run.order[run.next++];
    const thread = threads[slot];
    const name = `t${slot}-${thread.gen}.js`;
    await load(name);
    const data = threadFiles.get(slot + "-" + thread.gen);
    threadFiles.delete(slot + "-" + thread.gen);
    loading.delete(name);
    if (!data) throw new Error(`search/${name} could not be loaded`);
    // Each post's time, date and number from the differences the file keeps.
    let time = 0, date = [], number = 0;
    const times = data.posts.map(p => (time += p[0]));
    const dates = data.posts.map(p => (date = date.slice(0, p[1]).concat(codePoints(p[2]))));
    const numbers = data.posts.map(p => (number = p.length > 5 ? p[5] : number + 1));
    const c = run.candidates.get(slot);
    for (let k = c.from; k < c.to; k++) {
      const index = c.list ? c.list[k] - c.start : k;
      const post = data.posts[index];
      if (!post) continue;
      const m = matchPost(post[3], run.folded);
      if (!m) continue;
      const from = Math.max(0, m.start - BEFORE), to = Math.min(m.line.length, m.end + AFTER);
      const text = (a, b) => String.fromCodePoint(...m.line.slice(a, b));
      run.hits.push({
        slot, index, time: times[index], number: numbers[index], date: String.fromCodePoint(...dates[index]), name: data.names[post[4] || 0],
        board: thread.board, key: thread.key, title: thread.title,
        before: text(from, m.start), match: text(m.start, m.end), after: text(m.end, to),
        cutBefore: from > 0, cutAfter: to < m.line.length,
      });
      if (!run.exact) run.total++;
    }
  }

  // Whether the newest count hits are known: no thread left could hold a newer post.
  function settled(run, count) {
    if (run.next >= run.order.length) return true;
    if (run.hits.length < count) return false;
    run.hits.sort(newer);
    return run.hits[count - 1].time > catalog.threads[run.order[run.next]].lastTime;
  }

  const $ = id => document.getElementById(id);
  let current = null;

  function render(run) {
    const list = $("results");
    list.textContent = "";
    run.hits.sort(newer);
    const shown = run.hits.slice(0, run.shown);
    for (const h of shown) {
      const li = document.createElement("li");
      const a = document.createElement("a");
      a.href = `${encodeURIComponent(h.board)}/${encodeURIComponent(h.key)}.html#${h.number}`;
      a.className = "hit-title";
      a.textContent = h.title;
      const meta = document.createElement("div");
      meta.className = "hit-meta";
      for (const [cls, value] of [["hit-number", `>>${h.number}`], ["hit-date", h.date], ["hit-name", h.name]]) {
        const span = document.createElement("span");
        span.className = cls;
        span.textContent = value;
        meta.append(span);
      }
      const p = document.createElement("p");
      p.className = "hit-text";
      const mark = document.createElement("mark");
      mark.textContent = h.match;
      p.append((h.cutBefore ? "…" : "") + h.before, mark, h.after + (h.cutAfter ? "…" : ""));
      li.append(a, meta, p);
      list.append(li);
    }
    const counting = !run.exact && run.next < run.order.length;
    $("status").textContent = !run.folded.length ? ""
      : run.total === 0 && !counting ? "見つかりませんでした。"
      : `${run.total}件${counting ? "以上（数えています…）" : ""}、新しい順に${shown.length}件を表示しています。`;
    $("status").dataset.state = counting ? "counting" : "done";
    $("more").hidden = shown.length >= run.total && !counting;
  }

  // Shows the newest run.shown hits as soon as they are known; a longer text's total is then
  // counted on, a thread at a time, while the page stays usable.
  async function show(run) {
    while (!settled(run, run.shown)) {
      await checkNext(run);
      if (run !== current) return;
    }
    render(run);
    while (!run.exact && run.next < run.order.length) {
      await checkNext(run);
      if (run !== current) return;
      if ((run.next % 20 === 0 && settled(run, run.shown)) || run.next === run.order.length) render(run);
    }
  }

  let typed = 0;
  async function onInput() {
    const mine = ++typed;
    const query = $("query").value;
    await ready;
    if (mine !== typed) return;
    const run = await start(query);
    if (mine !== typed) return; // a newer text was typed meanwhile
    current = run;
    $("status").dataset.state = "searching";
    const url = new URL(location.href);
    url.searchParams.set("q", query);
    history.replaceState(null, "", url);
    try {
      await show(run);
    } catch (e) {
      if (run === current) $("status").textContent = `${e.message}。サイトを horofu --site で作り直してください。`;
    }
  }

  const ready = Promise.all([load("catalog.js?" + Date.now()), load("fold.js")]).then(() => {
    if (!catalog) throw new Error("search/catalog.js could not be loaded");
  });
  ready.catch(e => { $("status").textContent = `${e.message}。サイトを horofu --site で作り直してください。`; });
  $("query").addEventListener("input", onInput);
  $("search-form").addEventListener("submit", e => { e.preventDefault(); onInput(); });
  $("more").addEventListener("click", () => {
    if (!current) return;
    current.shown += PAGE;
    show(current).then(() => render(current));
  });
  const initial = new URLSearchParams(location.search).get("q");
  if (initial) { $("query").value = initial; onInput(); }
})();
