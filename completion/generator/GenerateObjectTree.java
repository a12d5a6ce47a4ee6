// Writes the object tree file of the completion box from the Java kit that
// runs this program:
//
//     java GenerateObjectTree.java JDK1.3.1TreeSorted.txt
//
// It lists the whole platform API of the kit: every package named java.* or
// javax.* that a module of the java.se platform (java.se and the modules it
// requires transitively) exports to everyone, the packages above them
// (javax.xml for javax.xml.parsers), and the public and protected classes and
// interfaces of those packages, nested ones too, qualified with dots. For
// each class it lists:
//
//   - the public methods and fields it declares or inherits from its
//     superclasses and superinterfaces, and the protected ones it declares or
//     inherits from its superclasses, each with the tag of the member itself
//     (an inherited final method is a final method here too); enum constants
//     are public final fields;
//   - its public and protected constructors, as the class name with its
//     parameter list ("JButton(String, Icon)"), tagged as methods;
//   - the public and protected classes and interfaces it declares, each with
//     its own members below it.
//
// Every entry is a qualified name, a dot and a four-character tag:
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
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URI;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.TreeSet;
import java.util.stream.Stream;

public class GenerateObjectTree {
    // The platform module whose API the tree lists, and the package name
    // spaces taken from its modules.
    private static final String PLATFORM = "java.se";
    private static final String[] ROOTS = {"java", "javax"};

    private final TreeSet<String> entries = new TreeSet<>();
    private final TreeSet<String> modules = new TreeSet<>();
    private int skippedMembers = 0;
    private int unloadable = 0;
    private int missingModules = 0;

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
            if (pkg.startsWith(root + "."))
                return true;
        }
        return false;
    }

    // PLATFORM and every module it requires transitively, by name.
    static TreeSet<String> platformModules() {
        ModuleFinder system = ModuleFinder.ofSystem();
        TreeSet<String> names = new TreeSet<>();
        Deque<String> todo = new ArrayDeque<>();
        todo.add(PLATFORM);
        todo.add("java.base");
        while (!todo.isEmpty()) {
            String name = todo.poll();
            if (!names.add(name))
                continue;
            Optional<ModuleReference> ref = system.find(name);
            if (ref.isEmpty())
                continue;
            for (ModuleDescriptor.Requires r : ref.get().descriptor().requires()) {
                if (r.modifiers().contains(ModuleDescriptor.Requires.Modifier.TRANSITIVE)
                    || name.equals(PLATFORM))
                    todo.add(r.name());
            }
        }
        return names;
    }

    void collect() throws IOException {
        FileSystem jrt = FileSystems.getFileSystem(URI.create("jrt:/"));
        for (String name : platformModules()) {
            Optional<Module> found = ModuleLayer.boot().findModule(name);
            if (found.isEmpty()) {
                // The platform module itself holds no packages and need not
                // be loaded; any other module should be.
                if (!name.equals(PLATFORM))
                    missingModules++;
                continue;
            }
            Module module = found.get();
            ModuleDescriptor descriptor = module.getDescriptor();
            if (descriptor == null)
                continue;
            modules.add(name);
            for (ModuleDescriptor.Exports export : descriptor.exports()) {
                if (export.isQualified() || !wanted(export.source()))
                    continue;
                String pkg = export.source();
                addPackage(pkg);
                for (String className : classesOf(jrt, module.getName(), pkg))
                    addClass(pkg, className);
            }
        }
    }

    // The package and every package name above it ("java." leads to
    // "java.awt.", "javax.xml." to "javax.xml.parsers.").
    void addPackage(String pkg) {
        for (int dot = pkg.indexOf('.'); dot >= 0; dot = pkg.indexOf('.', dot + 1))
            entries.add(pkg.substring(0, dot) + ".-p-p");
        entries.add(pkg + ".-p-p");
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
            if (!c.isInterface()) {
                for (Constructor<?> k : c.getDeclaredConstructors()) {
                    int km = k.getModifiers();
                    if (k.isSynthetic() || !visible(km))
                        continue;
                    addMember(qualified, c.getSimpleName() + parameterList(k.getParameterTypes()),
                              memberTag(km, "m"));
                }
            }
            for (Method m : members(c).values())
                addMember(qualified, methodText(m), memberTag(m.getModifiers(), "m"));
            for (Field f : fields(c).values())
                addMember(qualified, typeName(f.getType()) + " " + f.getName(),
                          memberTag(f.getModifiers(), "v"));
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

    // The methods a user of c sees: the public ones of c and its supertypes
    // (the kit already drops those a subtype overrides) and the protected
    // ones of c and its superclasses; for one signature the method of the
    // most specific class wins.
    static Map<String, Method> members(Class<?> c) {
        Map<String, Method> bySignature = new LinkedHashMap<>();
        for (Method m : c.getMethods())
            keep(bySignature, m);
        for (Class<?> k = c; k != null; k = k.getSuperclass()) {
            for (Method m : k.getDeclaredMethods()) {
                if (Modifier.isProtected(m.getModifiers()))
                    keep(bySignature, m);
            }
        }
        return bySignature;
    }

    static void keep(Map<String, Method> bySignature, Method m) {
        if (m.isSynthetic() || m.isBridge() || !visible(m.getModifiers()))
            return;
        String signature = m.getName() + parameterList(m.getParameterTypes());
        Method before = bySignature.get(signature);
        if (before == null || before.getDeclaringClass().isAssignableFrom(m.getDeclaringClass()))
            bySignature.put(signature, m);
    }

    // The fields a user of c sees: the public ones of c and its supertypes
    // and the protected ones of c and its superclasses; a field hides one of
    // the same name further up.
    static Map<String, Field> fields(Class<?> c) {
        Map<String, Field> byName = new LinkedHashMap<>();
        for (Class<?> k = c; k != null; k = k.getSuperclass()) {
            for (Field f : k.getDeclaredFields()) {
                if (!f.isSynthetic() && visible(f.getModifiers()))
                    byName.putIfAbsent(f.getName(), f);
            }
        }
        for (Field f : c.getFields()) // the interfaces' constants
            byName.putIfAbsent(f.getName(), f);
        return byName;
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
        return typeName(m.getReturnType()) + " " + m.getName() + parameterList(m.getParameterTypes());
    }

    static String parameterList(Class<?>[] params) {
        StringBuilder sb = new StringBuilder("(");
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
        StringBuilder sb = new StringBuilder(entries.size() * 64);
        for (String e : entries)
            sb.append('"').append(e).append("\"\r\n");
        byte[] data = sb.toString().getBytes(StandardCharsets.UTF_8);
        try (OutputStream os = Files.newOutputStream(out)) {
            os.write(data);
        }
        System.out.println("kit: " + System.getProperty("java.vm.name") + " "
                           + System.getProperty("java.version") + " (" + System.getProperty("java.home") + ")");
        System.out.println("modules: " + modules.size() + " of the " + PLATFORM + " platform"
                           + (missingModules > 0 ? " (" + missingModules + " not in the kit)" : ""));
        System.out.println("entries: " + entries.size());
        System.out.println("bytes: " + data.length);
        System.out.println("member texts skipped (dot or quote): " + skippedMembers);
        System.out.println("classes that did not load or link: " + unloadable);
    }
}
