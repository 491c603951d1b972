# A mesh object of the scene as an OBJ file vexo-cli reads: its points in glTF's axes (y up), as
# Blender's own OBJ and glTF exporters write them, so the particles come back in Blender the way
# the mesh was modelled.
import bpy


def write_obj(path, obj):
    """Writes the object's evaluated mesh in its own coordinates; returns its triangle count."""
    graph = bpy.context.evaluated_depsgraph_get()
    evaluated = obj.evaluated_get(graph)
    mesh = evaluated.to_mesh()
    try:
        mesh.calc_loop_triangles()
        with open(path, "w", encoding="utf-8") as out:
            out.write("# %s\n" % obj.name.replace("\n", " "))
            for vertex in mesh.vertices:
                x, y, z = vertex.co
                out.write("v %r %r %r\n" % (x, z, -y))
            for triangle in mesh.loop_triangles:
                a, b, c = triangle.vertices
                out.write("f %d %d %d\n" % (a + 1, b + 1, c + 1))
        return len(mesh.loop_triangles)
    finally:
        evaluated.to_mesh_clear()
