// Writes the object tree file of the completion box from the Java kit that
// runs this program:
//
//     java GenerateObjectTree.java JDK1.3.1TreeSorted.txt
//
// It lists every exported package of the kit named java.lang, java.util,
// java.io, java.net, java.awt or javax.swing (or below one of them), the
// public and protected classes and interfaces of those packages (nested ones
// too, qualified with dots), and the public and protected methods and fields
// each class declares. Every entry is a qualified name, a dot and a
// four-character tag:
//
//     -p-p package          -p-c / -r-c class      -p-i / -r-i interface
//     -p-m / -r-m method    -pfm / -rfm final method
//     -p-v / -r-v field     -pfv / -rfv final field
//
// ("p" public, "r" protected, "f" final). Member texts use simple type names
// and never hold a dot of their own: "Color brighter()", "String
// valueOf(char)", "Color black". The entries are written in double quotes,
// one per line ended by CR LF, in ascending order of their UTF-16 code
// units, without duplicates, so the editor can load the file without
// sorting it.

import java.io.IOException;
import java.io.OutputStream;
import java.lang.module.ModuleDescriptor;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URI;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.TreeSet;
import java.util.stream.Stream;

public class GenerateObjectTree {
    private static final String[] ROOTS = {
        "java.lang", "java.util", "java.io", "java.net", "java.awt", "javax.swing"
    };

    private final TreeSet<String> entries = new TreeSet<>();
    private int skippedMembers = 0;
    private int unloadable = 0;

    public static void main(String[] args) throws IOException {
        if (args.length != 1) {
            System.err.println("usage: java GenerateObjectTree.java <output file>");
            System.exit(2);
        }
        GenerateObjectTree g = new GenerateObjectTree();
        g.collect();
        g.write(Path.of(args[0]));
    }

    static boolean wanted(String pkg) {
        for (String root : ROOTS) {
            if (pkg.equals(root) || pkg.startsWith(root + "."))
                return true;
        }
        return false;
    }

    void collect() throws IOException {
        FileSystem jrt = FileSystems.getFileSystem(URI.create("jrt:/"));
        for (Module module : ModuleLayer.boot().modules()) {
            ModuleDescriptor descriptor = module.getDescriptor();
            if (descriptor == null)
                continue;
            for (ModuleDescriptor.Exports export : descriptor.exports()) {
                if (export.isQualified() || !wanted(export.source()))
                    continue;
                String pkg = export.source();
                entries.add(pkg + ".-p-p");
                for (String className : classesOf(jrt, module.getName(), pkg))
                    addClass(pkg, className);
            }
        }
        // "java." and "javax." lead to the packages below them.
        entries.add("java.-p-p");
        entries.add("javax.-p-p");
    }

    // Binary names of the top-level classes of a package, from the kit's
    // run-time image.
    static List<String> classesOf(FileSystem jrt, String module, String pkg) throws IOException {
        List<String> names = new ArrayList<>();
        Path dir = jrt.getPath("/modules", module, pkg.replace('.', '/'));
        if (!Files.isDirectory(dir))
            return names;
        try (Stream<Path> files = Files.list(dir)) {
            files.forEach(p -> {
                String file = p.getFileName().toString();
                if (!file.endsWith(".class") || file.indexOf('$') >= 0)
                    return;
                String simple = file.substring(0, file.length() - ".class".length());
                if (simple.equals("module-info") || simple.equals("package-info"))
                    return;
                names.add(pkg + "." + simple);
            });
        }
        return names;
    }

    void addClass(String pkg, String binaryName) {
        Class<?> c;
        try {
            c = Class.forName(binaryName, false, ClassLoader.getSystemClassLoader());
        } catch (Throwable t) {
            unloadable++;
            return;
        }
        if (!Modifier.isPublic(c.getModifiers()))
            return;
        addType(c, pkg + "." + c.getSimpleName());
    }

    // A class or interface known to be reachable, under its dotted name.
    void addType(Class<?> c, String qualified) {
        int mod = c.getModifiers();
        String access = Modifier.isProtected(mod) ? "r" : "p";
        String kind = c.isInterface() ? "i" : "c";
        entries.add(qualified + ".-" + access + "-" + kind);

        try {
            for (Method m : c.getDeclaredMethods()) {
                int mm = m.getModifiers();
                if (m.isSynthetic() || m.isBridge() || !visible(mm))
                    continue;
                addMember(qualified, methodText(m), memberTag(mm, "m"));
            }
            for (Field f : c.getDeclaredFields()) {
                int fm = f.getModifiers();
                if (f.isSynthetic() || !visible(fm))
                    continue;
                addMember(qualified, typeName(f.getType()) + " " + f.getName(), memberTag(fm, "v"));
            }
            for (Class<?> nested : c.getDeclaredClasses()) {
                if (nested.isSynthetic() || !visible(nested.getModifiers()))
                    continue;
                addType(nested, qualified + "." + nested.getSimpleName());
            }
        } catch (Throwable t) {
            // A class whose members refer to something the kit cannot link
            // keeps what was listed so far.
            unloadable++;
        }
    }

    void addMember(String qualified, String text, String tag) {
        // A member text with a dot of its own could never be offered.
        if (text.indexOf('.') >= 0 || text.indexOf('"') >= 0) {
            skippedMembers++;
            return;
        }
        entries.add(qualified + "." + text + "." + tag);
    }

    static boolean visible(int modifiers) {
        return Modifier.isPublic(modifiers) || Modifier.isProtected(modifiers);
    }

    static String memberTag(int modifiers, String kind) {
        String access = Modifier.isProtected(modifiers) ? "r" : "p";
        String fin = Modifier.isFinal(modifiers) ? "f" : "-";
        return "-" + access + fin + kind;
    }

    static String methodText(Method m) {
        StringBuilder sb = new StringBuilder();
        sb.append(typeName(m.getReturnType())).append(' ').append(m.getName()).append('(');
        Class<?>[] params = m.getParameterTypes();
        for (int i = 0; i < params.length; i++) {
            if (i > 0)
                sb.append(", ");
            sb.append(typeName(params[i]));
        }
        return sb.append(')').toString();
    }

    // The erased type by its simple name; arrays (varargs too) as "[]".
    static String typeName(Class<?> t) {
        int dims = 0;
        while (t.isArray()) {
            dims++;
            t = t.getComponentType();
        }
        StringBuilder sb = new StringBuilder(t.getSimpleName());
        for (int i = 0; i < dims; i++)
            sb.append("[]");
        return sb.toString();
    }

    void write(Path out) throws IOException {
        // TreeSet<String> orders by String.compareTo: UTF-16 code units.
        StringBuilder sb = new StringBuilder(entries.size() * 48);
        for (String e : entries)
            sb.append('"').append(e).append("\"\r\n");
        try (OutputStream os = Files.newOutputStream(out)) {
            os.write(sb.toString().getBytes(StandardCharsets.UTF_8));
        }
        System.out.println("kit: " + System.getProperty("java.vm.name") + " "
                           + System.getProperty("java.version") + " (" + System.getProperty("java.home") + ")");
        System.out.println("entries: " + entries.size());
        System.out.println("member texts skipped (dot or quote): " + skippedMembers);
        System.out.println("classes that did not load or link: " + unloadable);
    }
}
