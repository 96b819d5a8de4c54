// The modern page's stylesheet: light and dark colours, text kept as typed in a font that
// suits the boards' text art, and the previews shown while a reply link is hovered or focused.
// Groups of posts off-screen are skipped by the browser (a long thread stays quick), the post
// jumped to is marked, fields are isolated so that no name can reorder the text after it, and links
// are large enough to tap.
#pragma once

namespace horofu::modern {

inline constexpr char kStyle[] =
    R"(:root{color-scheme:light dark;--bg:#fbfbf6;--fg:#1c1c1c;--muted:#666;--name:#217a21;--link:#1747a6;--box:#fff;--rule:#d6d6ca;--mark:#fff2b3}
@media (prefers-color-scheme:dark){:root{--bg:#16171a;--fg:#e6e6e1;--muted:#9a9a9a;--name:#7fcf7f;--link:#8db4ff;--box:#24262b;--rule:#3b3d42;--mark:#3d3821}}
body{margin:0 auto;max-width:64em;padding:1em;background:var(--bg);color:var(--fg);font-family:"MS PGothic","ＭＳ Ｐゴシック","IPAMonaPGothic","IPA モナー Pゴシック","Monapo","Mona","Textar","Noto Sans CJK JP","Noto Sans JP",sans-serif;font-size:16px;line-height:1.45}
h1{font-size:1.35em;margin:.2em 0 1em}
a{color:var(--link)}
main::after{content:"";display:block;height:calc(100vh - 3em)}
.posts{content-visibility:auto;contain-intrinsic-size:auto 300em}
.posts:hover,.posts:focus-within{content-visibility:visible}
.post{margin:0 0 1.1em;scroll-margin-top:.5em}
.post:target{background:var(--mark);box-shadow:0 0 0 .4em var(--mark);border-radius:1px}
.ph{color:var(--muted)}
.ph .num{color:var(--fg);font-weight:bold}
.ph span,.ph a,.pv bdi,.re,.url{unicode-bidi:isolate}
.name{color:var(--name);font-weight:bold}
.trip{color:var(--name)}
.date{white-space:nowrap}
.count,.refs{font-size:.9em}
.re,.refs a,.pv .num{display:inline-block;min-width:24px;min-height:24px;text-align:center}
.ctl{border:1px dashed;border-radius:3px;padding:0 .2em;font-size:.75em}
.lead,.text{position:relative;margin:.15em 0 0 1.6em;white-space:pre-wrap;overflow-wrap:anywhere}
.lead{margin-left:0}
.pv{display:none;position:absolute;z-index:1;left:0;max-width:min(36em,90vw);padding:.35em .6em;background:var(--box);color:var(--fg);border:1px solid var(--rule);border-radius:4px;box-shadow:0 2px 8px rgba(0,0,0,.3);white-space:pre-wrap;text-align:left}
.re:focus-visible+.pv{display:block}
@media (hover:hover){.re:hover+.pv,.pv:hover{display:block}}
.re.hush+.pv{display:none}
.pv:popover-open{display:block;position:fixed;overflow:auto;max-height:60vh}
@supports (position-area:bottom){.pv:popover-open{inset:auto;margin:0;position-area:bottom span-right;position-try-fallbacks:flip-block,flip-inline,flip-block flip-inline}}
)"
    // --- What a post is and what its header holds beyond a name and date: deleted and broken
    // posts, the board's own posts, filtered posts, caps and badges.
    R"(.deleted .text,.filtered{color:var(--muted)}
.board{border-left:3px solid var(--rule);padding-left:.5em}
.note{font-size:.85em;border:1px solid var(--rule);border-radius:3px;padding:0 .3em;margin-left:.4em}
.cap{color:var(--name);font-weight:bold}
.badge{font-size:.75em;border:1px solid var(--rule);border-radius:3px;padding:0 .25em}
)";

}  // namespace horofu::modern
