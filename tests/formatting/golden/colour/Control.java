public class Control {
    int run(int[] values, Object o) throws Exception {
        int total = 0;
        outer:
        for (int v : values) {
            for (int i = 0; i < v; i++) {
                if (i == 3) continue outer;
                else if (i > 10) break outer;
                else total += i;
            }
        }
        switch (total) {
            case 0:
                total = -1;
                break;
            case 1: case 2:
                return 2;
            default:
                total++;
        }
        int kind = switch (total) {
            case 3 -> 1;
            default -> { yield 2; }
        };
        do {
            total--;
        } while (total > 100);
        try {
            synchronized (this) {
                o.wait();
            }
        } catch (InterruptedException | RuntimeException e) {
            throw new Exception(e);
        } finally {
            total = total > 0 ? total : 0;
        }
        Runnable r = () -> { return; };
        if (o instanceof String text && !text.isEmpty()) total += text.length();
        goto_label: total += kind;
        return total;
    }
}
