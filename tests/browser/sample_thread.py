"""The thread both browsers' page checks read."""


def thread():
    """A thread of 61 posts (two groups, which the browser skips while off-screen): replies
    near the top and the bottom, a range, a name ending in U+202E, an ID with a zero-width
    space, an address followed by U+202E."""
    lines = ["1 名前：名無しさん 投稿日：2024/09/10(火) 07:22:22.16 ID:abcDEF12",
             "週末に行ける近場の温泉、みんなのおすすめを教えてください。", "",
             "2 名前：湯けむり\u202e 投稿日：2024/09/10(火) 07:23:00.00 ID:zzzYYY00",
             ">>1 山あいの小さな共同浴場がいいよ。", "http://x.invalid/\u202egpj.exe", "",
             "3 名前：名無しさん 投稿日：2024/09/10(火) 07:24:00.00 ID:abcDEF12\u200b",
             ">>1-2 駅からバスで15分。", ""]
    for n in range(4, 61):
        lines += [f"{n} 名前：名無しさん 投稿日：2024/09/10(火) 08:{n:02}:00.00 ID:id{n:06}",
                  f">>{n - 3} それな" if n % 2 == 0 else "入浴料は300円、タオルは持参で。",
                  "持ち物：タオル、石けん、小銭", ""]
    lines += ["61 名前：名無しさん 投稿日：2024/09/10(火) 09:00:00.00 ID:idLAST00",
              ">>2 最後にもう一度。", ""]
    return "\n".join(lines)
